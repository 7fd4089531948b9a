// Omenry: the desktop casebook. Opens the casebook, shows the main window
// maximised and runs until it closes.

#include "application.h"
#include "main_form.h"
#include "skin.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  // Settings and the per-user data location live under vesk/Omenry.
  QCoreApplication::setOrganizationName(QStringLiteral("vesk"));
  QCoreApplication::setApplicationName(QStringLiteral("Omenry"));
  skin::ApplyTheme(app);
  TMainForm form;
  form.show();
  return app.exec();
}
