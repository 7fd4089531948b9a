#include "application.h"

#include <exception>

#include "casebook_store.h"
#include "skin.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const StoreError& e) {
    skin::ShowError(activeWindow(), e.message());
  } catch (const std::exception& e) {
    skin::ShowError(activeWindow(), QString::fromLocal8Bit(e.what()));
  }
  return false;
}
