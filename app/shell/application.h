#pragma once
// The program's application object: a last-resort handler that shows an
// error that escaped an event handler in a message box with its own text,
// and lets the program carry on.

#include <QApplication>

// Loads Qt's own Chinese translations (qtbase_zh_CN: the standard dialogs,
// the context menus of text fields, the buttons of standard button boxes)
// and makes Chinese (China) the default locale, whatever the system's
// locale is. Returns false when the translations are not installed (Qt's
// English stays). The application keeps the translator.
bool InstallChineseTranslations(QCoreApplication& app);

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
