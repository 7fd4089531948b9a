#pragma once
// The casts kept with a record, as the record editor shows them: a compact
// list below the record text (method, corrected moment, correction, place,
// engine version, time of the cast) with the command "重新起盘", which casts
// a kept cast again with the engine there is now and says whether the text
// came out the same. When it did not, TRecastForm shows the two texts side
// by side with the lines that differ marked.

#include <QDialog>
#include <QList>
#include <QString>
#include <QWidget>

#include "chart_cast.h"

class QLabel;
class QPushButton;
class QTableWidget;
class TChartTextEdit;

// What casting a kept cast again came to.
struct Recast {
  enum class Outcome {
    Same,            // the text is the one kept, character for character
    Different,       // the engine there is now gives another text
    LibraryMissing,  // the engine library could not be loaded, or lacks the export
    BadRequest,      // the kept request cannot be read
    EngineRefused,   // the engine refused the request (`code`)
  };
  Outcome outcome = Outcome::BadRequest;
  QString text;           // Same, Different: the text now (Unicode, CR LF)
  QString engineVersion;  // Same, Different: the engine's version now, when it says
  int code = 0;           // EngineRefused: the export's result
};

// Casts `cast` again from its kept request with the engine library found as
// the chart commands find it: in `libraryDir` first (the program's directory
// when empty), then where the library is installed and through the system's
// search. The library is unloaded again before this returns. No message is
// shown.
Recast CastAgain(const ChartCast& cast, const QString& libraryDir);

// The user's name of a method of the JSON export: "bazi" → "八字" ...; an
// unknown one as it stands.
QString MethodCaption(const QString& method);

// The kept casts of one record: the list and the command. The owner fills it
// with SetCasts (stored first, then the pending ones, which are not saved
// yet); it hides itself while there are none.
class TKeptCasts : public QWidget {
  Q_OBJECT

 public:
  explicit TKeptCasts(QWidget* parent = nullptr);

  // The casts to list, oldest first; the first `stored` of them are stored,
  // the others wait for the record's save.
  void SetCasts(const QList<ChartCast>& casts, int stored);
  const QList<ChartCast>& casts() const { return casts_; }
  // The row of the cast the command acts on (-1: none).
  int currentCast() const;

  QTableWidget* table() const { return table_; }
  QPushButton* recastButton() const { return btnRecast_; }

 signals:
  // The user asked for the cast in `row` to be cast again.
  void recastRequested(int row);

 private:
  void UpdateCommand();

  QList<ChartCast> casts_;
  QLabel* caption_ = nullptr;
  QTableWidget* table_ = nullptr;
  QPushButton* btnRecast_ = nullptr;
};

// The two texts of a cast cast again that came out different: the kept one
// and the one now, side by side in the chart font, read-only, the lines that
// differ marked in red, scrolled together.
class TRecastForm : public QDialog {
  Q_OBJECT

 public:
  TRecastForm(const ChartCast& cast, const Recast& now, QWidget* parent = nullptr);

  QLabel* verdict() const { return verdict_; }
  TChartTextEdit* before() const { return before_; }
  TChartTextEdit* now() const { return now_; }
  // The lines marked, 0-based, in the kept text and in the text now.
  const QList<int>& changedBefore() const { return changedBefore_; }
  const QList<int>& changedNow() const { return changedNow_; }

 protected:
  // Opens on the first line that differs.
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* verdict_ = nullptr;
  TChartTextEdit* before_ = nullptr;
  TChartTextEdit* now_ = nullptr;
  QList<int> changedBefore_;
  QList<int> changedNow_;
};

// The lines of `a` and of `b` (0-based) that are not in a longest common
// sequence of their lines: what was removed from a and added in b.
void ChangedLines(const QStringList& a, const QStringList& b, QList<int>* inA, QList<int>* inB);
