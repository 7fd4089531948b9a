#pragma once
// The program's start on one casebook: one running Omenry per casebook.

#include <QLockFile>
#include <QString>
#include <memory>

#include "main_form.h"

// The lock file in the data directory, held while an Omenry works on the
// casebook there.
inline constexpr char kCasebookLockName[] = "casebook.lock";

// A running Omenry: the casebook's lock and the main window. The window goes
// first, the lock last.
struct TRunningOmenry {
  std::unique_ptr<QLockFile> lock;
  std::unique_ptr<TMainForm> form;
};

// Takes the lock of the casebook in dataDir. When another running Omenry
// holds it, says so in a message box and returns nullptr: no second window.
// (A lock left by an Omenry that has ended, even by a crash, is taken over.)
// Otherwise creates the main window, which opens and checks the casebook,
// shows it, starts the automatic backup when one is due, and returns the
// running program.
std::unique_ptr<TRunningOmenry> StartOmenry(const QString& dataDir);
