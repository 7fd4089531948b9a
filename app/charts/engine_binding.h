#pragma once
// The binding to the chart engine liborv.so. The program does not link the
// engine: each chart command loads the library by its file name, looks up one
// export, shows the method's dialog, calls the export with the dialog's
// values and a buffer of its own, hands the chart text (GBK, converted to
// Unicode here) to the caller, and unloads the library again, on every path.
// So the program starts and edits records without the library.

#include <QDateTime>
#include <QString>
#include <functional>
#include <string_view>

#include "chart_kind.h"
#include "engine_library.h"

class QDialog;
class QWidget;
class TChartDialogs;

// Converts a chart text from GBK (code page 936) to Unicode. Line ends stay
// as they are (CR LF); a byte sequence that is not GBK becomes U+FFFD.
QString GbkToUnicode(std::string_view gbk);

// What a chart command ended with.
enum class ChartOutcome {
  Inserted,        // the chart text went to the caller
  LibraryMissing,  // the library could not be loaded (the user was told)
  ExportMissing,   // the library lacks the export (shown as a damaged library)
  Cancelled,       // the dialog was not confirmed
  NotANumber,      // a date field held no decimal integer (the user was told)
  YearOutOfRange,  // the year lies outside the program's years (the user was told)
  DateRefused,     // a date field outside its list (the user was told; no call)
  EngineRefused,   // the engine refused the date (the user was told)
};

// The six chart commands of the record editor.
class TEngineBinding {
 public:
  struct Options {
    // Where the library is looked for first; empty: the program's directory.
    QString libraryDir;
    QString libraryFile = QString::fromLatin1(kEngineLibraryFile);
    // The current date and hour, for the presets; empty: the clock.
    std::function<QDateTime()> now;
    // Shows a dialog modally and returns its result; empty: QDialog::exec.
    std::function<int(QDialog&)> show;
  };

  explicit TEngineBinding(TChartDialogs& dialogs);
  TEngineBinding(TChartDialogs& dialogs, Options options);

  // Runs the chart command of `kind`: load, look up the export, preset and
  // show the dialog (over `parent`'s window), read it, check the date, call
  // the export and hand the chart text (Unicode, CR LF kept) to `insert`.
  // Message boxes are shown over `parent`.
  ChartOutcome Run(ChartKind kind, QWidget* parent,
                   const std::function<void(const QString&)>& insert);

  // The name of the export that a command calls.
  static const char* ExportName(ChartKind kind);

 private:
  QDateTime Now() const;
  int Show(QDialog& dialog) const;

  TChartDialogs& dialogs_;
  Options options_;
};
