// Measures the main window on a casebook: start-up to the first painted
// window (the casebook's lock included), the casebook's check (beside the
// window for a large casebook), selecting a folder until its first record is
// shown, the automatic backup made at start (when one is due: none in the
// data directory's backup/ from the last 24 hours) and how long the window's
// event loop was held up meanwhile, and the peak memory of the process.
// Figures only; it asserts nothing.
//
//   window_measure DATA_DIR [FOLDER_ID]     (FOLDER_ID defaults to 1)
//
// Make a large casebook with tools/casebook ("casebook generate DIR") and
// run this from a release build, under Xvfb (QT_QPA_PLATFORM=xcb) or
// offscreen.

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QTextEdit>
#include <QTreeWidgetItemIterator>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>

#include "application.h"
#include "casebook_backup.h"
#include "folder_tree.h"
#include "main_form.h"
#include "skin.h"
#include "startup.h"

namespace {

long PeakKilobytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return -1;
}

// CPU time of the calling thread, in milliseconds.
long long ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// The longest pause of the event loop (a 5 ms timer) over `ms` milliseconds.
long long LongestPause(int ms) {
  QElapsedTimer t;
  t.start();
  qint64 last = 0, longest = 0;
  QTimer ticker;
  ticker.setInterval(5);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longest = std::max(longest, t.elapsed() - last);
    last = t.elapsed();
  });
  ticker.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_measure DATA_DIR [FOLDER_ID]\n");
    return 2;
  }
  TApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("vesk"));
  QCoreApplication::setApplicationName(QStringLiteral("Omenry"));
  skin::ApplyTheme(app);
  const RowId folder = argc > 2 ? QByteArray(argv[2]).toLongLong() : 1;

  const QString dataDir = QString::fromLocal8Bit(argv[1]);
  const std::unique_ptr<TRunningOmenry> program = StartOmenry(dataDir);
  if (!program) return 1;
  TMainForm& form = *program->form;
  // The window's tree and preview, by their names.
  auto* tree = form.findChild<TFolderTree*>(QStringLiteral("tvFolders"));
  auto* preview = form.findChild<QTextEdit*>(QStringLiteral("rePreview"));
  if (!tree || !preview) {
    std::fprintf(stderr, "window_measure: the main window has no tvFolders or rePreview\n");
    return 1;
  }
  while (!form.windowHandle() || !form.windowHandle()->isExposed())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  form.repaint();
  const qint64 startMs = clock.elapsed();
  int folders = 0;
  QTreeWidgetItem* target = nullptr;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    ++folders;
    if (TFolderTree::FolderId(*it) == folder) target = *it;
  }
  std::printf("start-up to first painted window: %lld ms (%d tree nodes); the window's thread "
              "used %lld ms of CPU\n",
              static_cast<long long>(startMs), folders, ThreadCpuMs());
  if (!target) {
    std::fprintf(stderr, "window_measure: no folder %lld\n", static_cast<long long>(folder));
    return 1;
  }
  auto selectFolder = [&] {
    tree->setCurrentItem(tree->topLevelItem(0));
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    tree->setCurrentItem(target);  // lists the folder, shows its first record
    form.repaint();
    const qint64 ms = t.elapsed();
    std::printf("select folder %lld: %lld ms (%d records, first text %lld characters)\n",
                static_cast<long long>(folder), static_cast<long long>(ms),
                form.Records()->count(),
                static_cast<long long>(preview->toPlainText().size()));
  };

  // A large casebook's check runs beside the window; the window is used
  // meanwhile, and the verdict comes through the event loop.
  if (form.Store().isChecking()) {
    selectFolder();
    while (form.Store().isChecking()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    std::printf("the casebook's check beside the window: verdict %lld ms after start (%s)\n",
                static_cast<long long>(clock.elapsed()),
                form.Store().isDamaged() ? "damaged" : "sound");
  }

  // The automatic backup, started once the casebook was found sound, runs
  // beside the window: folders are selected meanwhile, then the window waits
  // for events as it does while the user reads, and the longest pause of its
  // event loop is taken.
  AutomaticBackup* backup = form.Backup();
  const bool backingUp = backup && backup->isRunning();
  qint64 backupEndMs = -1;
  QString backupPath;
  if (backingUp)
    QObject::connect(backup, &AutomaticBackup::finished, [&](const AutomaticBackupResult& r) {
      backupEndMs = clock.elapsed();
      backupPath = r.outcome == CopyOutcome::Done ? r.path : QStringLiteral("failed: ") + r.error;
    });
  for (int round = 0; round < 3; ++round) selectFolder();
  if (backingUp) {
    qint64 lastTick = clock.elapsed(), longestPause = 0;
    const qint64 idleFromMs = lastTick;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      if (backupEndMs < 0) longestPause = std::max(longestPause, now - lastTick);
      lastTick = now;
    });
    ticker.start();
    while (backupEndMs < 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ticker.stop();
    // The copy's size in MB (10^6 bytes), one decimal, rounded.
    const qint64 tenths = (QFileInfo(backupPath).size() + 50000) / 100000;
    std::printf("automatic backup: done %lld ms after start (%lld ms after the first paint), %lld.%lld MB\n",
                static_cast<long long>(backupEndMs), static_cast<long long>(backupEndMs - startMs),
                static_cast<long long>(tenths / 10), static_cast<long long>(tenths % 10));
    std::printf("  %s\n", qPrintable(backupPath));
    if (backupEndMs > idleFromMs) {
      std::printf("  the folder selections above ran while it copied; then, idle for %lld ms until "
                  "it ended, the window's event loop (a 5 ms timer) paused at most %lld ms\n",
                  static_cast<long long>(backupEndMs - idleFromMs), static_cast<long long>(longestPause));
      std::printf("  for comparison, idle as long without a backup, it paused at most %lld ms\n",
                  LongestPause(static_cast<int>(backupEndMs - idleFromMs)));
    }
  } else {
    std::printf("automatic backup: not due (one from the last 24 hours is in %s)\n",
                qPrintable(BackupDir(dataDir)));
  }
  {
    // The check on its own: a store that checks within OpenStore (the file
    // is in the system's cache by now, as it is at a second start).
    const qint64 saved = CasebookStore::BackgroundCheckBytes();
    CasebookStore::SetBackgroundCheckBytes(std::numeric_limits<qint64>::max());
    CasebookStore again;
    QElapsedTimer t;
    t.start();
    const long long cpu = ThreadCpuMs();
    again.OpenStore(dataDir);
    std::printf("OpenStore with its check within: %lld ms, %lld ms of CPU\n",
                static_cast<long long>(t.elapsed()), ThreadCpuMs() - cpu);
    CasebookStore::SetBackgroundCheckBytes(saved);
  }
  std::printf("peak memory: %ld KB\n", PeakKilobytes());
  form.close();
  return 0;
}
