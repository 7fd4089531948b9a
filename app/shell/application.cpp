#include "application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

#include "casebook_store.h"
#include "skin.h"

bool InstallChineseTranslations(QCoreApplication& app) {
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  QLocale::setDefault(chinese);
  auto* translator = new QTranslator(&app);
  // By its own name, not by the system's locale.
  if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  InstallChineseTranslations(*this);
}

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
