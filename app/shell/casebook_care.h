#pragma once
// Looking after the casebook from the windows: a damaged casebook found at
// start-up (the recovery dialog, recovery_dialog.h), the command
// "备份数据库…" of the 文件 menu, the backup at close, and long work on the
// casebook's files run beside the window.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "casebook_backup.h"

class CasebookStore;
class QWidget;

// Called once the store has tried to open the casebook in dataDir: when the
// file is damaged (the store opened it read-only, or could not read it as a
// database at all), shows the recovery dialog (OfferRecovery in
// recovery_dialog.h), which says so and offers every backup and the
// salvage. Does nothing while the store has a sound casebook open. Returns
// true when the store was opened again (what the windows show of the
// casebook is then out of date).
bool OfferBackupForDamagedCasebook(QWidget* parent, CasebookStore& store, const QString& dataDir);

// "备份数据库…": asks where to write a copy of the open casebook (the save
// dialog, "数据库文件(*.sqlite)") and writes a consistent copy there,
// owner-only, while a progress box offers 取消. A place inside the data
// directory itself is refused. Tells the user where the copy went, or why
// it failed. Returns true when a copy was written.
bool BackupCasebookTo(QWidget* parent, CasebookStore& store);

// The copies that 备份数据库… wrote, newest first, as remembered in the
// settings (value "BackupCopies", at most kRememberedCopies paths); the
// recovery dialog lists those that are still there.
inline constexpr int kRememberedCopies = 20;
QStringList RememberedBackupCopies();

// At the main window's close. When the store has a sound casebook open (not
// damaged, its check done, writable), closes the store, so that its last
// checkpoint is in the file, and, when the casebook has changed since its
// newest automatic backup (CasebookChangedSinceBackup), makes one
// (MakeAutomaticBackup, with the rotation). The copy runs beside the window:
// after half a second a progress box says "正在备份数据库…" and offers 取消,
// so that closing never hangs without a word on a large casebook. A failed
// backup is told in a message box. Otherwise does nothing. Returns the
// backup's outcome (Skipped when none was made).
CopyOutcome BackUpOnClose(QWidget* parent, CasebookStore& store);

// Runs `work` on a thread of its own and returns once it has returned; the
// windows go on drawing themselves meanwhile. When the work takes more than
// half a second, a progress box (modal over parent, caption `title`) shows
// `label` and, when the work can be cancelled, "取消", which raises the flag
// the work is given; progress the work reports moves the box's bar.
using BesideWork =
    std::function<void(const std::atomic<bool>& cancel, const CopyProgress& progress)>;
void RunBeside(QWidget* parent, const QString& title, const QString& label, const BesideWork& work,
               bool cancellable = true);

// The save dialog's filter and default extension for copies of the casebook.
inline const char16_t kBackupFilter[] = u"数据库文件(*.sqlite)";
inline const char kBackupSuffix[] = "sqlite";

// Test hook: while set, the save dialog of BackupCasebookTo is not shown; the
// hook gets the suggested file name and returns the chosen one (an empty
// string for Cancel).
using BackupDialogHook = std::function<QString(const QString& suggested)>;
void SetBackupDialogHook(BackupDialogHook hook);
