#pragma once
// The binding to the chart engine liborv.so. The program does not link the
// engine: each chart command loads the library by its file name, looks up one
// export, shows the method's dialog, calls the export with the dialog's
// values and a buffer of its own, hands the chart text (GBK, converted to
// Unicode here) to the caller, and unloads the library again, on every path.
// So the program starts and edits records without the library.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <string_view>

#include "chart_kind.h"
#include "engine_library.h"

class QDialog;
class QWidget;
class TChartDialogs;
struct ChartCast;

// Converts a chart text from GBK (code page 936) to Unicode. Line ends stay
// as they are (CR LF); a byte sequence that is not GBK becomes U+FFFD.
QString GbkToUnicode(std::string_view gbk);

// What the user is told when the engine library cannot be loaded or lacks
// an export.
QString BrokenLibraryMessage();

// Where the engine library is looked for first: `chosen`, or the program's
// directory when it is empty.
QString EngineLibraryDir(const QString& chosen);

// What a chart command ended with.
enum class ChartOutcome {
  Inserted,        // the chart text went to the caller
  LibraryMissing,  // the library could not be loaded (the user was told)
  ExportMissing,   // the library lacks the export (shown as a damaged library)
  Cancelled,       // the dialog was not confirmed, or a question was cancelled
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
    // Asks the user to choose one of `choices` (button captions, the last
    // one "取消") and returns the index of the choice, the last one when the
    // box is closed; empty: a message box with those buttons.
    std::function<int(const QString& text, const QStringList& choices)> choose;
  };

  explicit TEngineBinding(TChartDialogs& dialogs);
  TEngineBinding(TChartDialogs& dialogs, Options options);

  // Runs the chart command of `kind`: load, look up the export, preset and
  // show the dialog (over `parent`'s window), read it, check the date,
  // correct the moment when the dialog asks for it (the place and its
  // longitude, the clock's daylight saving, a double hour or a sectional
  // term close by), call the export and hand each chart to `insert`: its
  // caption line, the correction line when there was one, then the chart
  // text as the export gave it (Unicode, CR LF line ends). Input that
  // cannot be corrected (an unknown place, a longitude out of range, a
  // clock time that did not exist) is told and the dialog shows again with
  // the user's values. Message boxes are shown over `parent`.
  //
  // `insert` is called once per chart (when the user casts both sides of
  // a boundary, the later one first, so that they read in order from the
  // top); `kept`, when given, gets each chart as a cast to keep, in order.
  ChartOutcome Run(ChartKind kind, QWidget* parent,
                   const std::function<void(const QString&)>& insert,
                   const std::function<void(const ChartCast&)>& kept = {});

  // The name of the export that a command calls.
  static const char* ExportName(ChartKind kind);

 private:
  QDateTime Now() const;
  int Show(QDialog& dialog) const;
  int Choose(QWidget* parent, const QString& text, const QStringList& choices) const;

  TChartDialogs& dialogs_;
  Options options_;
};
