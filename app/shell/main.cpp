// Omenry: the desktop casebook. Takes the casebook's lock, opens and checks
// the casebook, shows the main window maximised and runs until it closes.

#include "application.h"
#include "casebook_store.h"
#include "skin.h"
#include "startup.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  // Settings and the per-user data location live under vesk/Omenry: named
  // here alone, the default QSettings() everywhere else.
  QCoreApplication::setOrganizationName(QStringLiteral("vesk"));
  QCoreApplication::setApplicationName(QStringLiteral("Omenry"));
  skin::ApplyTheme(app);
  const std::unique_ptr<TRunningOmenry> program = StartOmenry(CasebookStore::DefaultDataDir());
  if (!program) return 1;  // another Omenry has this casebook open
  return app.exec();
}
