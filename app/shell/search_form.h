#pragma once
// The record search: the search window TfrmSearch, which turns the typed
// words into a search condition (LikeClause) and hands it to the main window
// (TSearchHost), and the wait window TFormWait that shows while the query
// runs.
//
// The typed words never become statement text: each one is bound as a
// parameter (see SearchCondition in casebook_store.h), so any character,
// a quote included, is searched for as itself.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "search_condition.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The words of a typed text: the text split at every blank (U+0020) after
// leading and trailing blanks and control characters are removed; empty
// words (two blanks in a row) are skipped.
QStringList SearchWords(const QString& typed);

// The clause for one field and the typed words, joined by "and" (all) or
// "or". As a side effect it replaces *highlight (the main window's highlight
// words) with the words, when highlight is given.
SearchClause LikeClause(SearchField field, const QString& typed, bool all,
                        QStringList* highlight = nullptr);

// What the search window needs of the main window.
// What a search command looks in: the title, the text, or both (the ticks
// "按标题" and "按内容" it starts with).
enum class SearchMode { Title, Text, Both };

class TSearchHost {
 public:
  virtual ~TSearchHost() = default;
  // Replaces the words that the preview shows in red.
  virtual void SetHighlightWords(const QStringList& words) = 0;
  // Runs a confirmed search over all folders; `caption` tells of it in the
  // status bar ("查找“甲 乙”"). Does nothing for an empty condition.
  virtual void RunSearch(const SearchCondition& where, const QString& caption) = 0;
};

// The search window: "查找", fixed size, not modal, one at most (it is
// found among the application's windows by its name "frmSearch"). "确定"
// hides it and keeps it with its text and relation for the next search
// command; "取消", Escape or closing it destroys it.
class TfrmSearch : public QDialog {
  Q_OBJECT

 public:
  // A confirmed search goes to `host`: first the highlight words that
  // LikeClause makes, then the condition and the caption text.
  explicit TfrmSearch(TSearchHost& host, QWidget* parent = nullptr);
  ~TfrmSearch() override;

  // The search window among the application's windows, or null.
  static TfrmSearch* Find();

  // Ticks "按标题" unless the mode is Text and "按内容" unless it is Title,
  // then shows the window and brings it to the front.
  void ShowForMode(SearchMode mode);

  // What the last confirmed search ran with.
  const SearchCondition& WhereText() const { return where_; }
  const QString& CaptionText() const { return caption_; }

 public slots:
  // "确定": checks the entries, hides the window and runs the search. The
  // words may be left empty when 求占人, the dates or the feedback flag ask
  // for something; every criterion given must hold, with the words.
  void Confirm();
  // "取消" and Escape: closes (and so destroys) the window.
  void reject() override;

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  QLineEdit* edtSearchStr_ = nullptr;
  QRadioButton* rbAnd_ = nullptr;
  QRadioButton* rbOr_ = nullptr;
  QCheckBox* chkTitle_ = nullptr;
  QCheckBox* chkContent_ = nullptr;
  QLineEdit* edtQZR_ = nullptr;     // 求占人
  QCheckBox* chkDate_ = nullptr;    // 时间 from deFrom_ to deTo_
  QDateEdit* deFrom_ = nullptr;
  QDateEdit* deTo_ = nullptr;
  QRadioButton* rbFkAll_ = nullptr;  // 全部, 有反馈, 无反馈
  QRadioButton* rbFkYes_ = nullptr;
  QRadioButton* rbFkNo_ = nullptr;
  QPushButton* btnOK_ = nullptr;
  QPushButton* btnCancel_ = nullptr;

  TSearchHost& host_;
  SearchCondition where_;
  QString caption_;
};

// The wait window: a borderless 431 x 67 window in the middle of the screen
// saying "正在查询数据, 请稍等..." in blue. Open() shows and paints it at once
// and puts up the hourglass; it closes itself, restoring the cursor, as soon
// as the program is back in its event loop, that is right after the query
// that runs meanwhile.
class TFormWait : public QWidget {
  Q_OBJECT

 public:
  static TFormWait* Open();
  // The wait window that is open, or null.
  static TFormWait* Current();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  TFormWait();
  ~TFormWait() override;
  bool cursorSet_ = false;
};

// The time taken as "hh:mm:ss.zzz" (hours, minutes, seconds, milliseconds).
QString ElapsedText(qint64 milliseconds);
