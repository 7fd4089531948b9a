#pragma once
// The program's application object: a last-resort handler that shows an
// error that escaped an event handler in a message box with its own text,
// and lets the program carry on.

#include <QApplication>

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
