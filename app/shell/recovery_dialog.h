#pragma once
// The recovery dialog: every copy of the casebook there is, and what to do
// with one. It is shown at start-up for a damaged casebook and by the
// command 文件 → "恢复备份…".
//
// It lists the automatic backups, the copies that 备份数据库… wrote (as far
// as they are still where they were written), the casebooks that an earlier
// restore replaced (so that a restore can be undone), and any file the user
// points to with "选择文件…"; each with its time, size and record count,
// read from the file itself, newest first. The user picks one:
// - "恢复所选备份" puts it in place of the casebook (RestoreBackup; only a
//   sound casebook is taken). The casebook it replaces is kept beside it
//   under a new name. When the casebook is open and sound, the user is asked
//   first, with 取消 as the default.
// - "抢救记录" (only for a damaged or unreadable casebook file) copies every
//   folder and record that can still be read from the damaged file into a
//   fresh casebook, adds what the chosen copy holds that the damaged file no
//   longer gives (none need be chosen), and puts the fresh casebook in place;
//   the damaged file is kept.
// Either way the store is opened again on the casebook now in place, and
// the dialog closes with a message that says what was done.

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

#include "casebook_backup.h"
#include "casebook_care.h"

class CasebookStore;
class QLabel;
class QPushButton;
class QTreeWidget;

// Shows the recovery dialog for the casebook in dataDir, whether or not the
// store has it open, and returns when the dialog is closed. `reason` is the
// text at the dialog's top; when empty it is worked out from the store: the
// check's verdict for a damaged casebook, "cannot be read" when the store
// is not open, and for a sound one the invitation to choose a backup.
// Returns true when the store was closed and opened again (on a restored or
// salvaged casebook, or after a failed attempt on the same one): what the
// windows show of the casebook is then out of date.
bool OfferRecovery(QWidget* parent, CasebookStore& store, const QString& dataDir,
                   const QString& reason = QString());

// One file the dialog lists.
struct RecoveryCandidate {
  enum class Kind { Automatic, UserCopy, Replaced, Chosen };
  Kind kind = Kind::Automatic;
  QString path;
  QDateTime time;  // automatic and replaced: from the name; else the file's time
  qint64 bytes = 0;
  CopyContents contents;
};

// The copies of the casebook in dataDir that the dialog lists, newest first:
// the automatic backups, the given copies of 备份数据库… that exist, and the
// replaced casebooks; each read for its contents.
QList<RecoveryCandidate> GatherCopies(const QString& dataDir, const QStringList& userCopies);

class TRecoveryForm : public QDialog {
  Q_OBJECT

 public:
  TRecoveryForm(CasebookStore& store, const QString& dataDir, const QString& reason,
                QWidget* parent = nullptr);

  // The store was closed and opened again.
  bool reopened() const noexcept { return reopened_; }
  const QList<RecoveryCandidate>& candidates() const noexcept { return candidates_; }

 public slots:
  void ChooseFile();
  void RestoreChosen();
  void SalvageRecords();

 private:
  void CreateParts(const QString& reason);
  void AddRow(const RecoveryCandidate& c, int at);
  const RecoveryCandidate* Selected() const;
  void UpdateButtons();
  // Closes the store, runs `work` beside the window (RunBeside), and opens
  // the store again on whatever casebook is then in place; tells the user of
  // a store error. Returns whether the store is open on a sound casebook.
  bool WithStoreClosed(const QString& title, const QString& label, bool cancellable,
                       const BesideWork& work);

  CasebookStore& store_;
  QString dir_;
  bool sound_ = false;        // the store had a sound casebook open
  bool salvageable_ = false;  // the casebook file has something to salvage
  bool reopened_ = false;
  QList<RecoveryCandidate> candidates_;  // in the list's order
  QTreeWidget* list_ = nullptr;
  QLabel* empty_ = nullptr;
  QPushButton* restore_ = nullptr;
  QPushButton* salvage_ = nullptr;
};

// Test hooks. While the file hook is set, "选择文件…" shows no file dialog:
// the hook returns the chosen path ("" for 取消). While the form hook is
// set, OfferRecovery calls it with the shown dialog, from the dialog's own
// event loop, so that a test can work the dialog; it must close it.
void SetRecoveryFileHook(std::function<QString()> hook);
void SetRecoveryFormHook(std::function<void(TRecoveryForm&)> hook);
