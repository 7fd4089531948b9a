#pragma once
// The base of the window tests that run the main window on a casebook of
// their own. Every test function gets:
//  - settings and the per-user data location in a private directory, cleared
//    (testing_support::IsolateSettings), and the program's theme;
//  - a new temporary directory tmp_, the casebook's directory dataDir_ in it
//    ("Data", made by the store when it opens the casebook);
//  - a recorder boxes_ that answers the message and input boxes.
// A test class derives from WindowTest, does its own set-up in Prepare()
// and its own tidying in Finish() (both may use QVERIFY), and declares no
// initTestCase, init or cleanup of its own: QtTest finds the base's.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "casebook_store.h"
#include "main_form.h"
#include "main_form_parts.h"
#include "skin.h"
#include "test_support.h"

class WindowTest : public QObject {
  Q_OBJECT

 protected:
  std::unique_ptr<QTemporaryDir> tmp_;
  QString dataDir_;
  std::unique_ptr<testing_support::Boxes> boxes_;

  // The casebook's database file.
  QString dbPath() const { return dataDir_ + QLatin1Char('/') + CasebookStore::DatabaseFileName(); }

  // The main window on the test's casebook, shown at 1000 × 700; null when
  // it did not come up.
  std::unique_ptr<TMainForm> MakeForm() const { return main_form_parts::ShownMainForm(dataDir_); }

  // Lets posted events and deferred deletions run (windows that close
  // themselves, the wait window).
  static void Settle() {
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
  }

  // Once, before the first test function (after the settings are isolated).
  virtual void PrepareOnce() {}
  // Before each test function, after the fresh directory and boxes.
  virtual void Prepare() {}
  // After each test function, before the boxes and the directory go.
  virtual void Finish() {}

 private slots:
  void initTestCase() {
    testing_support::IsolateSettings();
    skin::ApplyTheme(*qApp);
    PrepareOnce();
  }

  void init() {
    testing_support::ClearSettings();
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    dataDir_ = tmp_->filePath(QStringLiteral("Data"));
    boxes_ = std::make_unique<testing_support::Boxes>();
    Prepare();
  }

  void cleanup() {
    Settle();
    Finish();
    // Windows the test left open (editors, the search window) go before
    // the casebook they show.
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->testAttribute(Qt::WA_DeleteOnClose)) w->close();
    Settle();
    boxes_.reset();
    tmp_.reset();
    dataDir_.clear();
  }
};
