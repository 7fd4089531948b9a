// Measures the main window on a casebook: start-up to the first painted
// window, selecting a folder until its first record is shown, and the peak
// memory of the process. Figures only; it asserts nothing.
//
//   window_measure DATA_DIR [FOLDER_ID]     (FOLDER_ID defaults to 1)
//
// Make a large casebook with tools/casebook ("casebook generate DIR") and
// run this from a release build, under Xvfb (QT_QPA_PLATFORM=xcb) or
// offscreen.

#include <QElapsedTimer>
#include <QFile>
#include <QTextEdit>
#include <QTreeWidgetItemIterator>
#include <QWindow>
#include <cstdio>

#include "application.h"
#include "folder_tree.h"
#include "main_form.h"
#include "skin.h"

namespace {

long PeakKilobytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return -1;
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

  TMainForm form(QString::fromLocal8Bit(argv[1]));
  form.show();
  while (!form.windowHandle() || !form.windowHandle()->isExposed())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  form.repaint();
  const qint64 startMs = clock.elapsed();
  int folders = 0;
  QTreeWidgetItem* target = nullptr;
  for (QTreeWidgetItemIterator it(form.Tree()); *it; ++it) {
    ++folders;
    if (TFolderTree::FolderId(*it) == folder) target = *it;
  }
  std::printf("start-up to first painted window: %lld ms (%d tree nodes)\n",
              static_cast<long long>(startMs), folders);
  if (!target) {
    std::fprintf(stderr, "window_measure: no folder %lld\n", static_cast<long long>(folder));
    return 1;
  }

  for (int round = 0; round < 3; ++round) {
    form.Tree()->setCurrentItem(form.Tree()->topLevelItem(0));
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    form.Tree()->setCurrentItem(target);  // lists the folder, shows its first record
    form.repaint();
    const qint64 ms = t.elapsed();
    std::printf("select folder %lld: %lld ms (%d records, first text %lld characters)\n",
                static_cast<long long>(folder), static_cast<long long>(ms),
                form.Records()->count(),
                static_cast<long long>(form.Preview()->toPlainText().size()));
  }
  std::printf("peak memory: %ld KB\n", PeakKilobytes());
  form.close();
  return 0;
}
