#pragma once
// The recovery dialog's widgets, found by their object names, and a worker
// that answers the dialog when it shows (it is modal: OfferRecovery runs it
// in its own event loop).

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

#include "recovery_dialog.h"

namespace recovery_parts {

inline QTreeWidget* BackupList(const TRecoveryForm& form) {
  return form.findChild<QTreeWidget*>(QStringLiteral("lvBackups"));
}
inline QPushButton* Button(const TRecoveryForm& form, const char* name) {
  return form.findChild<QPushButton*>(QLatin1String(name));
}
inline QString Reason(const TRecoveryForm& form) {
  return form.findChild<QLabel*>(QStringLiteral("lblReason"))->text();
}
// The texts of each row of the list: time, source, size, records, place.
inline QList<QStringList> Rows(const TRecoveryForm& form) {
  QList<QStringList> rows;
  QTreeWidget* list = BackupList(form);
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QStringList row;
    for (int c = 0; c < list->columnCount(); ++c) row << list->topLevelItem(i)->text(c);
    rows << row;
  }
  return rows;
}
// The row chosen in the list (-1: none).
inline int ChosenRow(const TRecoveryForm& form) {
  QTreeWidget* list = BackupList(form);
  QTreeWidgetItem* item = list->currentItem();
  return item && item->isSelected() ? list->indexOfTopLevelItem(item) : -1;
}
// A click on a row of the list, as the user makes it.
inline void ClickRow(TRecoveryForm& form, int row) {
  QTreeWidget* list = BackupList(form);
  const QRect rect = list->visualItemRect(list->topLevelItem(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}
inline void Click(TRecoveryForm& form, const char* button) {
  QTest::mouseClick(Button(form, button), Qt::LeftButton);
}

// The damaged casebooks kept in the data directory (their -wal and -shm
// files aside), by name.
inline QStringList KeptDamagedFiles(const QString& dataDir) {
  QStringList kept = QDir(dataDir).entryList({QStringLiteral("casebook.sqlite.damaged-*")}, QDir::Files);
  kept.removeIf([](const QString& name) {
    return name.endsWith(QStringLiteral("-wal")) || name.endsWith(QStringLiteral("-shm"));
  });
  return kept;
}

// While it lives, answers every recovery dialog that shows: records what
// the dialog showed, lets `act` work it, then closes it with 取消 if it is
// still open.
class Recovery {
 public:
  struct Seen {
    QString reason;
    QList<QStringList> rows;
    int chosen = -1;
    bool restoreEnabled = false;
    bool salvageShown = false;
    bool noBackupShown = false;
  };

  explicit Recovery(std::function<void(TRecoveryForm&)> act = {}) : act_(std::move(act)) {
    SetRecoveryFormHook([this](TRecoveryForm& form) {
      Seen s;
      s.reason = Reason(form);
      s.rows = Rows(form);
      s.chosen = ChosenRow(form);
      s.restoreEnabled = Button(form, "btnRestore")->isEnabled();
      s.salvageShown = Button(form, "btnSalvage")->isVisible();
      s.noBackupShown = form.findChild<QLabel*>(QStringLiteral("lblNoBackup"))->isVisible();
      seen << s;
      if (act_) act_(form);
      if (form.isVisible()) Click(form, "btnCancel");
    });
  }
  ~Recovery() { SetRecoveryFormHook({}); }
  Recovery(const Recovery&) = delete;
  Recovery& operator=(const Recovery&) = delete;

  void act(std::function<void(TRecoveryForm&)> next) { act_ = std::move(next); }

  QList<Seen> seen;

 private:
  std::function<void(TRecoveryForm&)> act_;
};

}  // namespace recovery_parts
