// The store needs a QCoreApplication for its SQL driver plugin and for the
// program's own directory.
#include <QCoreApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("vesk"));
  QCoreApplication::setApplicationName(QStringLiteral("Omenry"));
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
