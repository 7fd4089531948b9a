#include "startup.h"

#include <QDir>
#include <QFile>

#include "skin.h"

std::unique_ptr<TRunningOmenry> StartOmenry(const QString& dataDir) {
  const QString dir = QDir::cleanPath(dataDir);
  if (QDir().mkpath(dir))
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  auto lock = std::make_unique<QLockFile>(dir + QLatin1Char('/') + QLatin1String(kCasebookLockName));
  // Held for the whole session: only a dead holder makes a lock stale, never
  // its age.
  lock->setStaleLockTime(0);
  if (!lock->tryLock(0)) {
    if (lock->error() == QLockFile::LockFailedError) {
      skin::Message(nullptr, QStringLiteral("提示"),
                    QStringLiteral("Omenry 已经在运行，正在使用这个数据库：\n%1\n\n"
                                   "同一个数据库只能由一个 Omenry 打开。\n"
                                   "请切换到已经打开的 Omenry 窗口。")
                        .arg(QDir::toNativeSeparators(dir)),
                    skin::Buttons::Ok, skin::Icon::Information);
      return nullptr;
    }
    // No lock file can be made there (a read-only directory): the store
    // tells what is wrong when it opens the casebook.
    lock.reset();
  } else {
    QFile::setPermissions(dir + QLatin1Char('/') + QLatin1String(kCasebookLockName),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }
  auto program = std::make_unique<TRunningOmenry>();
  program->lock = std::move(lock);
  program->form = std::make_unique<TMainForm>(dir);
  program->form->show();
  program->form->StartAutomaticBackup();
  return program;
}
