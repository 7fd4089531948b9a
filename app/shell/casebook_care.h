#pragma once
// Looking after the casebook from the windows: a damaged casebook found at
// start-up, and the command "备份数据库…" of the 文件 menu.

#include <QString>
#include <functional>

class CasebookStore;
class QWidget;

// Called once the store has tried to open the casebook in dataDir: when the
// file is damaged (the store opened it read-only, or could not read it as a
// database at all), says so in Chinese and offers the newest automatic
// backup. On the user's "确定" the backup is put in place of the casebook
// (the damaged file is kept under a new name beside it) and the store opens
// it. Without a backup, or on "取消", the damaged file stays as it is and
// nothing is written into it. Does nothing while the store has a sound
// casebook open. Returns true when the store was opened again on a restored
// copy (what the windows show of the casebook is then out of date).
bool OfferBackupForDamagedCasebook(QWidget* parent, CasebookStore& store, const QString& dataDir);

// "备份数据库…": asks where to write a copy of the open casebook (the save
// dialog, "数据库文件(*.sqlite)") and writes a consistent copy there,
// owner-only, while a progress box offers 取消. A place inside the data
// directory itself is refused. Tells the user where the copy went, or why
// it failed. Returns true when a copy was written.
bool BackupCasebookTo(QWidget* parent, CasebookStore& store);

// The save dialog's filter and default extension for copies of the casebook.
inline const char16_t kBackupFilter[] = u"数据库文件(*.sqlite)";
inline const char kBackupSuffix[] = "sqlite";

// Test hook: while set, the save dialog of BackupCasebookTo is not shown; the
// hook gets the suggested file name and returns the chosen one (an empty
// string for Cancel).
using BackupDialogHook = std::function<QString(const QString& suggested)>;
void SetBackupDialogHook(BackupDialogHook hook);
