#pragma once
// The chart dialogs: one small modal window per divination method, asking for
// the method's inputs. They are created once at program start and live until
// the program ends, so every control keeps the user's last choice from one
// chart to the next (except where a preset overwrites it before showing).
//
// TBaziForm serves both the Four Pillars and the Purple Star commands. The
// Qimen and Liu Ren dialogs remember their placement options between runs
// (settings "Zhuan", "GuiRen", "SheHai"): read when the dialog is created,
// written whenever it closes, after OK and after Cancel alike.

#include <QDateTime>
#include <QDialog>
#include <QPointer>

#include "years.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStandardItemModel;
class QToolButton;
class QVBoxLayout;

// Names the dialogs and the chart captions share: 一 … 九 for 1 … 9; the
// twelve branches 子 … 亥; the Xuankong periods ("八运" for 8), the seat
// mountains of entries 0–23 ("壬山丙向" … "亥山巳向") and the two kinds of
// chart ("挨星下卦" for xiagua, "挨星替卦").
QString ChineseNumber(int n);
const QStringList& Branches();
QString XuankongPeriod(int period);
const QStringList& XuankongMountains();
QString XuankongKind(bool xiagua);

// The frame of every chart dialog: a body for the method's controls and the
// buttons "确定" (the default button) and "取消" (also Escape).
class TChartForm : public QDialog {
  Q_OBJECT

 public:
  QPushButton* btnOk() const { return btnOk_; }
  QPushButton* btnCancel() const { return btnCancel_; }

 protected:
  TChartForm(const QString& objectName, const QString& caption, QWidget* parent);
  // The method's controls go here, top to bottom.
  QVBoxLayout* body() const { return body_; }
  QComboBox* MakeList(const QString& name, const QStringList& entries, bool typing);
  QRadioButton* MakeRadio(const QString& name, const QString& text);
  QGroupBox* MakeGroup(const QString& title, std::initializer_list<QWidget*> members);
  // The control that has the keyboard focus whenever the dialog shows.
  void SetFirstField(QWidget* field) { firstField_ = field; }

  void showEvent(QShowEvent* event) override;
  // Return and Escape typed into a list that takes typing act on the dialog
  // (OK, Cancel) as they do everywhere else in it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QVBoxLayout* body_ = nullptr;
  QWidget* firstField_ = nullptr;
  QPushButton* btnOk_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
};

// The controls of the four dated dialogs: year, month, day and hour lists
// (typing allowed), the minutes beside the hour, the calendar group (solar
// or lunar, leap month) and, collapsed until its toggle opens it, the group
// of the place and the time correction: the place (completed from the
// built-in list), its longitude and time zone (filled in from a chosen
// place, or typed by hand) and the correction, 不校正 (the clock time as it
// stands), 平太阳时 or 真太阳时.
//
// The place, longitude, zone and correction are remembered per dialog
// (settings "<name>Place", "<name>Longitude", "<name>Zone" and
// "<name>Correction", name being "Bazi", "Liuyao", "Qimen" or "Liuren"):
// read when the dialog is created, written whenever it closes.
class TDatedForm : public TChartForm {
  Q_OBJECT

 public:
  // The choice of correction, in the order of its buttons (stored so).
  enum class Correction { None = 0, MeanSolar = 1, TrueSolar = 2 };

  QComboBox* cbYear() const { return cbYear_; }
  QComboBox* cbMonth() const { return cbMonth_; }
  QComboBox* cbDay() const { return cbDay_; }
  QComboBox* cbHour() const { return cbHour_; }
  QComboBox* cbMinute() const { return cbMinute_; }
  QRadioButton* rbSolar() const { return rbSolar_; }
  QRadioButton* rbLunar() const { return rbLunar_; }
  QCheckBox* cbRunyue() const { return cbRunyue_; }

  // The toggle that opens and closes the correction group, and the group.
  QToolButton* btnCorrection() const { return btnCorrection_; }
  QGroupBox* gbCorrection() const { return gbCorrection_; }
  QLineEdit* edtPlace() const { return edtPlace_; }
  QLineEdit* edtLongitude() const { return edtLongitude_; }
  QLineEdit* edtZone() const { return edtZone_; }
  QRadioButton* rbNoCorrection() const { return rbNoCorrection_; }
  QRadioButton* rbMeanSolar() const { return rbMeanSolar_; }
  QRadioButton* rbTrueSolar() const { return rbTrueSolar_; }
  Correction CorrectionChoice() const;
  // The completion list of the place field as it stands (for the tests).
  QStandardItemModel* placeCompletions() const { return placeModel_; }

  // Opens or closes the correction group; the dialog takes the size it needs.
  void ShowCorrection(bool open);

  // The next showing keeps every value as the user left it (the dialog is
  // shown again after input that could not be used), even those that a
  // showing sets otherwise.
  void ShowAgain() { showingAgain_ = true; }

  // Selects the entries of `now`: year year − 1920, month − 1, day − 1 and
  // the hour entry of its hour (the hour itself; in TLiurenForm its branch),
  // minute 0.
  virtual void Preset(const QDateTime& now);

  void done(int result) override;

 protected:
  // hourEntries: the hour list ("0" … "23", or the twelve branches);
  // initialYear: the year list's starting text; groupTitle: the caption of
  // the correction group's toggle.
  TDatedForm(const QString& objectName, const QString& caption, const QStringList& hourEntries,
             const QString& initialYear, const QString& groupTitle, QWidget* parent);

  // Whether this showing is one after ShowAgain.
  bool showingAgain() const { return showingAgain_; }
  void showEvent(QShowEvent* event) override;

 private:
  void MakeCorrectionGroup(const QString& title);
  void CompletePlace(const QString& typed);
  void FollowPlace(const QString& text);
  QString SettingsName(const char* value) const;
  void ReadPlace();
  void WritePlace() const;
  void TabToCorrectionLast();

  QComboBox* cbYear_ = nullptr;
  QComboBox* cbMonth_ = nullptr;
  QComboBox* cbDay_ = nullptr;
  QComboBox* cbHour_ = nullptr;
  QComboBox* cbMinute_ = nullptr;
  QRadioButton* rbSolar_ = nullptr;
  QRadioButton* rbLunar_ = nullptr;
  QCheckBox* cbRunyue_ = nullptr;
  QToolButton* btnCorrection_ = nullptr;
  QGroupBox* gbCorrection_ = nullptr;
  QLineEdit* edtPlace_ = nullptr;
  QLineEdit* edtLongitude_ = nullptr;
  QLineEdit* edtZone_ = nullptr;
  QRadioButton* rbNoCorrection_ = nullptr;
  QRadioButton* rbMeanSolar_ = nullptr;
  QRadioButton* rbTrueSolar_ = nullptr;
  QStandardItemModel* placeModel_ = nullptr;
  bool showingAgain_ = false;
  bool tabOrdered_ = false;
};

// Four Pillars and Purple Star: the date and the sex. Title bar empty.
class TBaziForm : public TDatedForm {
  Q_OBJECT

 public:
  explicit TBaziForm(QWidget* parent = nullptr);
  QRadioButton* rbNan() const { return rbNan_; }
  QRadioButton* rbNv() const { return rbNv_; }

 private:
  QRadioButton* rbNan_ = nullptr;
  QRadioButton* rbNv_ = nullptr;
};

// Six Lines: the six lines from the top (line 6) down to the bottom
// (line 1), and whether they are given by hand or cast from the time.
class TLiuyaoForm : public TDatedForm {
  Q_OBJECT

 public:
  explicit TLiuyaoForm(QWidget* parent = nullptr);
  // Line n (1 bottom … 6 top).
  QComboBox* cbYao(int line) const { return cbYao_[line - 1]; }
  QRadioButton* rbManual() const { return rbManual_; }
  QRadioButton* rbDatetime() const { return rbDatetime_; }

 private:
  QComboBox* cbYao_[6] = {};
  QRadioButton* rbManual_ = nullptr;
  QRadioButton* rbDatetime_ = nullptr;
};

// Qimen Dunjia: the 局 ("自动" until an entry is picked) and the placement,
// rotating (转盘) or flying (飞盘), remembered as "Zhuan".
class TQimenForm : public TDatedForm {
  Q_OBJECT

 public:
  explicit TQimenForm(QWidget* parent = nullptr);
  QComboBox* cbJu() const { return cbJu_; }
  QRadioButton* rbTypeZhuan() const { return rbTypeZhuan_; }
  QRadioButton* rbTypeFei() const { return rbTypeFei_; }

  void done(int result) override;

 private:
  QComboBox* cbJu_ = nullptr;
  QRadioButton* rbTypeZhuan_ = nullptr;
  QRadioButton* rbTypeFei_ = nullptr;
};

// Da Liu Ren: the hour as one of the twelve branches, sex, day or night,
// an optional birth year, and the noble and 涉害 rules, remembered as
// "GuiRen" and "SheHai".
class TLiurenForm : public TDatedForm {
  Q_OBJECT

 public:
  // The birth years run to the last year, so people born today can be entered.
  static constexpr int kFirstBirthYear = years::kFirst;
  static constexpr int kLastBirthYear = years::kLast;

  explicit TLiurenForm(QWidget* parent = nullptr);
  QRadioButton* rbNan() const { return rbNan_; }
  QRadioButton* rbNv() const { return rbNv_; }
  QRadioButton* rbZhou() const { return rbZhou_; }
  QRadioButton* rbYe() const { return rbYe_; }
  QComboBox* cbXingNian() const { return cbXingNian_; }
  QCheckBox* cbXingNianEnable() const { return cbXingNianEnable_; }
  // Whether a birth year is to be used. The box's name says "enable", but
  // its caption is "不使用" (do not use): ticked means no birth year. The
  // name is kept, as the dialog's other boxes are named; this says what the
  // tick means.
  bool UsesBirthYear() const;
  QRadioButton* rbJWG() const { return rbJWG_; }
  QRadioButton* rbJYW() const { return rbJYW_; }
  QRadioButton* rbMZJ() const { return rbMZJ_; }
  QRadioButton* rbShengQian() const { return rbShengQian_; }

  // The entry of the hour list that its text names (typing allowed), −1 when
  // the text names none.
  int HourEntry() const;

  // The hour entry of the hour's branch: ((hour + 1) div 2) mod 12, so that
  // 23:00–0:59 is 子 and 11:00–12:59 午.
  void Preset(const QDateTime& now) override;
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FollowHour();

  QRadioButton* rbNan_ = nullptr;
  QRadioButton* rbNv_ = nullptr;
  QRadioButton* rbZhou_ = nullptr;
  QRadioButton* rbYe_ = nullptr;
  QComboBox* cbXingNian_ = nullptr;
  QCheckBox* cbXingNianEnable_ = nullptr;
  QRadioButton* rbJWG_ = nullptr;
  QRadioButton* rbJYW_ = nullptr;
  QRadioButton* rbMZJ_ = nullptr;
  QRadioButton* rbShengQian_ = nullptr;
};

// Xuankong: period, mountain and the kind of chart; no date.
class TXuankongForm : public TChartForm {
  Q_OBJECT

 public:
  explicit TXuankongForm(QWidget* parent = nullptr);
  QComboBox* cbYun() const { return cbYun_; }
  QComboBox* cbShan() const { return cbShan_; }
  QComboBox* cbXiang() const { return cbXiang_; }

 private:
  QComboBox* cbYun_ = nullptr;
  QComboBox* cbShan_ = nullptr;
  QComboBox* cbXiang_ = nullptr;
};

// The five dialogs, created together at program start and kept for the
// program's life. They are shown over `parent` (the main window); whichever
// goes first, this set or the parent, takes the dialogs with it.
class TChartDialogs {
 public:
  explicit TChartDialogs(QWidget* parent = nullptr);
  ~TChartDialogs();
  TChartDialogs(const TChartDialogs&) = delete;
  TChartDialogs& operator=(const TChartDialogs&) = delete;

  TBaziForm* bazi() const { return bazi_; }
  TLiuyaoForm* liuyao() const { return liuyao_; }
  TQimenForm* qimen() const { return qimen_; }
  TLiurenForm* liuren() const { return liuren_; }
  TXuankongForm* xuankong() const { return xuankong_; }

 private:
  QPointer<TBaziForm> bazi_;
  QPointer<TLiuyaoForm> liuyao_;
  QPointer<TQimenForm> qimen_;
  QPointer<TLiurenForm> liuren_;
  QPointer<TXuankongForm> xuankong_;
};
