#include "engine_binding.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "cast_request.h"
#include "chart_caption.h"
#include "chart_cast.h"
#include "chart_dialogs.h"
#include "gbk_text.h"
#include "orv.h"
#include "skin.h"
#include "time_correction.h"

QString GbkToUnicode(std::string_view gbk) {
  const std::string utf8 = GbkToUtf8(gbk);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString BrokenLibraryMessage() { return QStringLiteral("程序被病毒感染或已损坏，请重新安装 !"); }

QString EngineLibraryDir(const QString& chosen) {
  return chosen.isEmpty() ? QCoreApplication::applicationDirPath() : chosen;
}

namespace {

const QString kCaption = QStringLiteral("提示");
const QString kBrokenLibrary = BrokenLibraryMessage();
const QString kYearRange =
    QStringLiteral("本软件的有效工作范围为%1年至%2年。").arg(years::kFirst).arg(years::kLast);
const QString kDateRefused = QStringLiteral("日期输入错误！");

// The engine's question (before or after a solar-term change), asked in a
// modal box: 是 → 0 (before), 否 → 1 (after), 取消 → 2 (as entered).
int32_t AskInBox(const char* question) noexcept {
  try {
    const QString text = GbkToUnicode(question != nullptr ? std::string_view(question) : "");
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) owner = QApplication::activeWindow();
    switch (skin::Message(owner, kCaption, text, skin::Buttons::YesNoCancel,
                          skin::Icon::Question)) {
      case skin::Answer::Yes:
        return 0;
      case skin::Answer::No:
        return 1;
      default:
        return 2;
    }
  } catch (...) {
    return 2;  // nothing may cross back into the engine
  }
}

// The answer the user gave to the engine's question during the last call,
// −1 when none was asked, kept for the cast's request (the one
// user-interface thread asks).
thread_local int32_t lastAnswer = -1;

// The question handler given to the engine: asks, and keeps the answer.
int32_t AskUser(const char* question) noexcept {
  lastAnswer = AskInBox(question);
  return lastAnswer;
}

// For as long as it lives, the dialog belongs to the window it is shown
// from (the record editor), so that it comes up over that window and not
// over the main window that keeps it between commands.
class ShownOver {
 public:
  ShownOver(QDialog& dialog, QWidget* from)
      : dialog_(dialog), keeper_(dialog.parentWidget()), over_(from ? from->window() : nullptr) {
    if (over_ != nullptr && over_ != keeper_ && over_ != &dialog_)
      dialog_.setParent(over_, dialog_.windowFlags());
  }
  ~ShownOver() {
    if (dialog_.parentWidget() != keeper_) dialog_.setParent(keeper_, dialog_.windowFlags());
  }
  ShownOver(const ShownOver&) = delete;
  ShownOver& operator=(const ShownOver&) = delete;

 private:
  QDialog& dialog_;
  QPointer<QWidget> keeper_;
  QWidget* over_;
};

void Tell(QWidget* parent, const QString& text) {
  skin::Message(parent, kCaption, text, skin::Buttons::Ok, skin::Icon::Warning);
}

// ---------------------------------------------------------------------------
// Reading a dialog

std::optional<int32_t> DecimalOf(const QString& text) {
  static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
  const QString trimmed = text.trimmed();
  if (!decimal.match(trimmed).hasMatch()) return std::nullopt;
  bool ok = false;
  const int value = trimmed.toInt(&ok, 10);
  if (!ok) return std::nullopt;  // beyond 32 bits
  return value;
}

// Reads the date block of a dated dialog into the request's moment (in the
// Liu Ren dialog the hour is the branch's: entry × 2, 子 0 … 亥 22); on a
// field that is no decimal integer, a year outside 1920–2050 or a field
// outside its list tells the user and gives the outcome instead.
std::optional<ChartOutcome> ReadDate(const TDatedForm& form, bool hourIsBranch, QWidget* parent,
                                     OrvChartRequest& r) {
  r.solar = form.rbSolar()->isChecked() ? 1 : 0;
  r.leap = form.cbRunyue()->isChecked() ? 1 : 0;

  struct Field {
    QComboBox* list;
    const char* name;
    int32_t* value;
  };
  std::vector<Field> fields = {{form.cbYear(), "年份", &r.year},
                               {form.cbMonth(), "月份", &r.month},
                               {form.cbDay(), "日期", &r.day}};
  if (!hourIsBranch) fields.push_back({form.cbHour(), "时辰", &r.hour});
  fields.push_back({form.cbMinute(), "分钟", &r.minute});
  for (const Field& field : fields) {
    const QString text = field.list->currentText();
    const auto value = DecimalOf(text);
    if (!value) {
      Tell(parent, QStringLiteral("%1输入错误：“%2”不是整数，请输入数字。")
                       .arg(QString::fromUtf8(field.name), text));
      return ChartOutcome::NotANumber;
    }
    *field.value = *value;
  }

  if (r.year < years::kFirst || r.year > years::kLast) {
    Tell(parent, kYearRange);
    return ChartOutcome::YearOutOfRange;
  }

  if (hourIsBranch) r.hour = form.cbHour()->findText(form.cbHour()->currentText());
  const bool inLists = r.month >= 1 && r.month <= 12 && r.day >= 1 && r.day <= 31 &&
                       r.hour >= 0 && r.hour < form.cbHour()->count() && r.minute >= 0 &&
                       r.minute <= 59;
  if (!inLists) {
    Tell(parent, kDateRefused);
    return ChartOutcome::DateRefused;
  }
  if (hourIsBranch) r.hour *= 2;  // the hour of a branch is its first even hour
  return std::nullopt;
}

uint8_t Flag(const QAbstractButton* button) { return button->isChecked() ? 1 : 0; }

// ---------------------------------------------------------------------------
// The methods: the dialog's values as a request, and the request as the
// text export's arguments.

using Reader = std::optional<ChartOutcome> (*)(const TChartDialogs&, QWidget* parent,
                                               OrvChartRequest& r);

std::optional<ChartOutcome> ReadBazi(const TChartDialogs& dialogs, QWidget* parent,
                                     OrvChartRequest& r) {
  const TBaziForm& form = *dialogs.bazi();
  r.male = Flag(form.rbNan());
  return ReadDate(form, false, parent, r);
}

std::optional<ChartOutcome> ReadLiuyao(const TChartDialogs& dialogs, QWidget* parent,
                                       OrvChartRequest& r) {
  const TLiuyaoForm& form = *dialogs.liuyao();
  r.manualLines = Flag(form.rbManual());
  for (int k = 0; k < 6; ++k) r.lines[k] = form.cbYao(6 - k)->currentIndex();  // top line first
  return ReadDate(form, false, parent, r);
}

std::optional<ChartOutcome> ReadQimen(const TChartDialogs& dialogs, QWidget* parent,
                                      OrvChartRequest& r) {
  const TQimenForm& form = *dialogs.qimen();
  r.flying = Flag(form.rbTypeFei());
  r.ju = std::max(0, form.cbJu()->currentIndex());  // none picked: automatic
  return ReadDate(form, false, parent, r);
}

std::optional<ChartOutcome> ReadLiuren(const TChartDialogs& dialogs, QWidget* parent,
                                       OrvChartRequest& r) {
  const TLiurenForm& form = *dialogs.liuren();
  r.male = Flag(form.rbNan());
  r.daytime = Flag(form.rbZhou());
  r.guiRen = Flag(form.rbJWG());
  r.sheHai = Flag(form.rbMZJ());
  r.birthYear = form.UsesBirthYear()
                    ? TLiurenForm::kFirstBirthYear + form.cbXingNian()->currentIndex()
                    : 0;
  return ReadDate(form, true, parent, r);
}

std::optional<ChartOutcome> ReadXuankong(const TChartDialogs& dialogs, QWidget*,
                                         OrvChartRequest& r) {
  const TXuankongForm& form = *dialogs.xuankong();
  r.period = form.cbYun()->currentIndex() + 1;
  r.mountain = form.cbShan()->currentIndex();
  // 挨星下卦 (entry 0) is the xiagua chart, 挨星替卦 (entry 1) the tigua.
  r.xiagua = form.cbXiang()->currentIndex() == 0 ? 1 : 0;
  return std::nullopt;
}

using Caller = int32_t (*)(const TChartDialogs&, const OrvChartRequest& r, void* function,
                           char* buffer);

template <typename Export>
int32_t CallBazi(const TChartDialogs&, const OrvChartRequest& r, void* function, char* buffer) {
  auto* call = reinterpret_cast<Export*>(function);
  return call(r.solar, r.leap, r.male, r.year, r.month, r.day, r.hour, buffer);
}

int32_t CallLiuyao(const TChartDialogs&, const OrvChartRequest& r, void* function,
                   char* buffer) {
  auto* call = reinterpret_cast<decltype(StrLiuyao)*>(function);
  return call(r.lines[0], r.lines[1], r.lines[2], r.lines[3], r.lines[4], r.lines[5], r.solar,
              r.leap, r.manualLines, r.year, r.month, r.day, r.hour, buffer);
}

int32_t CallQimen(const TChartDialogs& dialogs, const OrvChartRequest& r, void* function,
                  char* buffer) {
  auto* call = reinterpret_cast<decltype(StrQimen)*>(function);
  // The entry of 局 as picked: −1 while none has been, which the engine
  // takes as automatic, like 0.
  const int32_t ju = r.ju == 0 ? dialogs.qimen()->cbJu()->currentIndex() : r.ju;
  return call(r.solar, r.leap, r.flying, ju, r.year, r.month, r.day, r.hour, buffer);
}

int32_t CallLiuren(const TChartDialogs&, const OrvChartRequest& r, void* function,
                   char* buffer) {
  auto* call = reinterpret_cast<decltype(Str6Ren)*>(function);
  return call(r.solar, r.leap, r.male, r.year, r.month, r.day, r.hour, buffer,
              static_cast<uint8_t>(r.daytime), r.guiRen, r.sheHai,
              r.birthYear > 0 ? r.birthYear : -1);
}

int32_t CallXuankong(const TChartDialogs&, const OrvChartRequest& r, void* function,
                     char* buffer) {
  auto* call = reinterpret_cast<decltype(StrXuankong)*>(function);
  return call(r.period - 1, r.mountain, r.xiagua, buffer);
}

// The dialogs, made ready to show: the shared Four Pillars dialog captioned
// for its chart, the dialogs with a preset set to the current date and hour.
QDialog* BaziDialog(const TChartDialogs& dialogs, const QDateTime&) {
  dialogs.bazi()->setWindowTitle(QStringLiteral("八字排盘"));
  return dialogs.bazi();
}
QDialog* ZiweiDialog(const TChartDialogs& dialogs, const QDateTime&) {
  dialogs.bazi()->setWindowTitle(QStringLiteral("紫微排盘"));
  return dialogs.bazi();
}
template <auto Form>
QDialog* PresetDialog(const TChartDialogs& dialogs, const QDateTime& now) {
  TDatedForm* form = (dialogs.*Form)();
  form->Preset(now);
  return form;
}
QDialog* XuankongDialog(const TChartDialogs& dialogs, const QDateTime&) {
  return dialogs.xuankong();
}

// One chart command: the export it calls with a buffer of its size, the
// dialog it shows, how the dialog's values become a request and the request
// the export's arguments.
struct Command {
  ChartKind kind;
  const char* exportName;
  int bufferSize;
  int method;
  QDialog* (*dialog)(const TChartDialogs&, const QDateTime& now);
  Reader read;
  Caller call;
};

const Command kCommands[] = {
    {ChartKind::Bazi, "StrBazi", ORV_CHART_BUFFER_SIZE, ORV_METHOD_BAZI, BaziDialog,
     ReadBazi, CallBazi<decltype(StrBazi)>},
    {ChartKind::Ziwei, "StrZiwei", ORV_ZIWEI_BUFFER_SIZE, ORV_METHOD_ZIWEI, ZiweiDialog,
     ReadBazi, CallBazi<decltype(StrZiwei)>},
    {ChartKind::Liuyao, "StrLiuyao", ORV_CHART_BUFFER_SIZE, ORV_METHOD_LIUYAO,
     PresetDialog<&TChartDialogs::liuyao>, ReadLiuyao, CallLiuyao},
    {ChartKind::Qimen, "StrQimen", ORV_CHART_BUFFER_SIZE, ORV_METHOD_QIMEN,
     PresetDialog<&TChartDialogs::qimen>, ReadQimen, CallQimen},
    {ChartKind::Liuren, "Str6Ren", ORV_CHART_BUFFER_SIZE, ORV_METHOD_LIUREN,
     PresetDialog<&TChartDialogs::liuren>, ReadLiuren, CallLiuren},
    {ChartKind::Xuankong, "StrXuankong", ORV_CHART_BUFFER_SIZE, ORV_METHOD_XUANKONG,
     XuankongDialog, ReadXuankong, CallXuankong},
};

const Command& CommandOf(ChartKind kind) {
  for (const Command& command : kCommands)
    if (command.kind == kind) return command;
  return kCommands[0];  // every kind has its entry above
}

// The dialog of a dated command, null for 玄空.
TDatedForm* DatedForm(const TChartDialogs& dialogs, ChartKind kind) {
  switch (kind) {
    case ChartKind::Bazi:
    case ChartKind::Ziwei: return dialogs.bazi();
    case ChartKind::Liuyao: return dialogs.liuyao();
    case ChartKind::Qimen: return dialogs.qimen();
    case ChartKind::Liuren: return dialogs.liuren();
    case ChartKind::Xuankong: break;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// The moment to cast: the clock time corrected for the place, and the
// boundaries close to it.

using Chooser = std::function<int(const QString& text, const QStringList& choices)>;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string Utf8(const QString& text) { return text.toStdString(); }

QString CorrectionName(TDatedForm::Correction choice) {
  switch (choice) {
    case TDatedForm::Correction::MeanSolar: return QStringLiteral("平太阳时");
    case TDatedForm::Correction::TrueSolar: return QStringLiteral("真太阳时");
    case TDatedForm::Correction::None: break;
  }
  return QStringLiteral("不校正");
}

QString Two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// "1988-07-15 14:30", ":ss" added with `seconds`.
QString MomentText(const timefix::CivilTime& t, bool seconds) {
  QString text = QStringLiteral("%1-%2-%3 %4:%5")
                     .arg(t.year)
                     .arg(Two(t.month), Two(t.day), Two(t.hour), Two(t.minute));
  if (seconds) text += QLatin1Char(':') + Two(t.second);
  return text;
}

timefix::CivilTime MomentOf(const OrvChartRequest& r) {
  return {r.year, r.month, r.day, r.hour, r.minute, r.second};
}

// A moment of a request as written in a kept cast: the solar date and time,
// a lunar one marked "农历" (and 闰 for the leap month).
QString RequestMoment(const OrvChartRequest& r, bool seconds) {
  if (r.solar) return MomentText(MomentOf(r), seconds);
  QString text = MomentText(MomentOf(r), seconds);
  if (r.leap) text.insert(text.indexOf(QLatin1Char('-')) + 1, QStringLiteral("闰"));
  return QStringLiteral("农历") + text;
}

// The solar date and time of a request's lunar date, by the engine's JSON
// export; nothing when the engine does not find the date.
std::optional<timefix::CivilTime> SolarMoment(const TEngineLibrary& library,
                                              const OrvChartRequest& r) {
  timefix::CastRequest cast = timefix::EmptyRequest(ORV_METHOD_BAZI);
  cast.request.solar = r.solar;
  cast.request.leap = r.leap;
  cast.request.year = r.year;
  cast.request.month = r.month;
  cast.request.day = r.day;
  cast.request.hour = r.hour;
  cast.request.minute = r.minute;
  std::string json;
  if (timefix::CastJson(library, cast, json) != 0) return std::nullopt;
  const QString civil = QJsonDocument::fromJson(QByteArray::fromStdString(json))
                            .object()
                            .value(QStringLiteral("moment"))
                            .toObject()
                            .value(QStringLiteral("civil"))
                            .toString();
  const QDateTime at = QDateTime::fromString(civil, Qt::ISODate);
  if (!at.isValid()) return std::nullopt;
  return timefix::CivilTime{at.date().year(), at.date().month(), at.date().day(),
                            at.time().hour(), at.time().minute(), at.time().second()};
}

// What the dialog's moment comes to: cast as entered, cast for the corrected
// moment (or the moments the user chose at a boundary), shown again for
// input that cannot be corrected, or stopped.
struct Planned {
  enum class Next { Cast, Again, Stop } next = Next::Cast;
  ChartOutcome outcome = ChartOutcome::Cancelled;  // when stopped
  std::vector<OrvChartRequest> moments;            // the requests to cast, in order
  QString line;        // the correction line; empty for 不校正
  QString correction;  // 不校正, 平太阳时, 真太阳时
  QString clock;       // the clock time as given
  QString place;       // the known place's name
  double longitude = 0;
  QString zone;
};

Planned Again(QWidget* parent, const QString& message) {
  Tell(parent, message);
  Planned plan;
  plan.next = Planned::Next::Again;
  return plan;
}

Planned Stop(ChartOutcome outcome) {
  Planned plan;
  plan.next = Planned::Next::Stop;
  plan.outcome = outcome;
  return plan;
}

// The request `asked` at another moment (solar). The Liu Ren day or night
// follows the hour when it was left as the dialog's hour set it.
OrvChartRequest AtMoment(const OrvChartRequest& asked, const timefix::CivilTime& t) {
  OrvChartRequest r = asked;
  timefix::SetSolarMoment(r, t);
  const bool asTheHourSetIt = (asked.daytime != 0) == timefix::IsDaytimeHour(asked.hour);
  if (r.method == ORV_METHOD_LIUREN && asTheHourSetIt)
    r.daytime = timefix::IsDaytimeHour(r.hour) ? 1 : 0;
  return r;
}

Planned Plan(const TEngineLibrary& library, const TDatedForm& form, const OrvChartRequest& asked,
             QWidget* parent, const Chooser& choose) {
  const TDatedForm::Correction choice = form.CorrectionChoice();
  const QString placeText = form.edtPlace()->text().trimmed();
  const QString longitudeText = form.edtLongitude()->text().trimmed();
  const QString zoneText = form.edtZone()->text().trimmed();
  const std::string placeName = Utf8(placeText);
  const timefix::Place* place = placeText.isEmpty() ? nullptr : timefix::FindPlace(placeName);

  Planned plan;
  plan.correction = CorrectionName(choice);
  plan.clock = RequestMoment(asked, false);
  plan.moments = {asked};
  plan.zone = !zoneText.isEmpty() ? zoneText
              : place != nullptr  ? Utf8(place->zone)
                                  : QStringLiteral("Asia/Shanghai");
  // Neither a correction nor minutes: the chart is cast exactly as entered.
  if (choice == TDatedForm::Correction::None && asked.minute == 0) return plan;

  timefix::CorrectionInput input;
  input.correction = choice == TDatedForm::Correction::TrueSolar   ? timefix::Correction::TrueSolar
                     : choice == TDatedForm::Correction::MeanSolar ? timefix::Correction::MeanSolar
                                                                   : timefix::Correction::None;
  if (choice != TDatedForm::Correction::None) {
    if (place == nullptr && longitudeText.isEmpty()) {
      if (placeText.isEmpty())
        return Again(parent, QStringLiteral("请填写地点，或填写经度和时区，再校正时间。"));
      return Again(parent, QStringLiteral("不认识地点“%1”。请从列表中选择地点，或填写经度和时区。")
                               .arg(placeText));
    }
    double longitude = place != nullptr ? place->longitude : 0;
    if (!longitudeText.isEmpty()) {
      bool ok = false;
      longitude = longitudeText.toDouble(&ok);
      if (!ok)
        return Again(parent,
                     QStringLiteral("经度输入错误：“%1”不是数字（东经为正，西经为负）。")
                         .arg(longitudeText));
    }
    input.longitude = longitude;
    plan.longitude = longitude;
    if (place != nullptr) {
      input.placeName = std::string(place->name);
      plan.place = Utf8(place->name);
    }
  }
  input.zone = Utf8(plan.zone);

  // The clock time as a solar date.
  if (asked.solar) {
    input.clock = MomentOf(asked);
  } else if (const auto solar = SolarMoment(library, asked)) {
    input.clock = *solar;
  } else {
    Tell(parent, kDateRefused);
    return Stop(ChartOutcome::EngineRefused);
  }
  input.clock.second = 0;
  plan.clock = MomentText(input.clock, false);

  timefix::CorrectionResult result;
  // Minutes alone: the clock time as it stands, its boundaries looked at.
  if (choice == TDatedForm::Correction::None) result.corrected = input.clock;
  while (choice != TDatedForm::Correction::None) {
    result = timefix::Correct(input);
    if (result.status == timefix::CorrectionStatus::Ok) break;
    const QString message = Utf8(result.message);
    switch (result.status) {
      case timefix::CorrectionStatus::BadDate:
        Tell(parent, kDateRefused);
        return Stop(ChartOutcome::DateRefused);
      case timefix::CorrectionStatus::RepeatedTime: {
        const QString question =
            (message.isEmpty()
                 ? QStringLiteral("%1 这一钟点在夏令时结束时出现了两次。").arg(plan.clock)
                 : message) +
            QStringLiteral("\n是夏令时的那一次，还是标准时的那一次？");
        const int answer = choose(question, {QStringLiteral("夏令时"), QStringLiteral("标准时"),
                                             QStringLiteral("取消")});
        if (answer != 0 && answer != 1) return Stop(ChartOutcome::Cancelled);
        input.fold = answer == 0 ? timefix::Fold::Earlier : timefix::Fold::Later;
        continue;
      }
      case timefix::CorrectionStatus::SkippedTime:
        return Again(parent, !message.isEmpty()
                                 ? message
                                 : QStringLiteral("%1 这一钟点在夏令时开始时被跳过，并不存在。")
                                       .arg(plan.clock));
      default:
        return Again(parent, !message.isEmpty() ? message : QStringLiteral("经度或时区有误。"));
    }
  }
  plan.line = Utf8(result.line);
  plan.moments = {AtMoment(asked, result.corrected)};

  // A double hour or a sectional term close by: which side is meant?
  const std::vector<timefix::Boundary> near = timefix::NearBoundaries(library, result.corrected);
  if (!near.empty()) {
    QStringList names;
    for (const timefix::Boundary& boundary : near) names << Utf8(boundary.text);
    const timefix::CivilTime& other = near.front().other;
    const QString question =
        QStringLiteral("%1 离交界不到10分钟：\n%2\n\n按本时刻（%1）排盘，按另一侧（%3）排盘，"
                       "还是两个都排？")
            .arg(MomentText(result.corrected, false), names.join(QLatin1Char('\n')),
                 MomentText(other, false));
    const int answer =
        choose(question, {QStringLiteral("按本时刻"), QStringLiteral("按另一侧"),
                          QStringLiteral("两个都排"), QStringLiteral("取消")});
    switch (answer) {
      case 0: break;
      case 1: plan.moments = {AtMoment(asked, other)}; break;
      case 2: plan.moments.push_back(AtMoment(asked, other)); break;
      default: return Stop(ChartOutcome::Cancelled);
    }
  }
  return plan;
}

}  // namespace

TEngineBinding::TEngineBinding(TChartDialogs& dialogs) : TEngineBinding(dialogs, Options{}) {}

TEngineBinding::TEngineBinding(TChartDialogs& dialogs, Options options)
    : dialogs_(dialogs), options_(std::move(options)) {}

const char* TEngineBinding::ExportName(ChartKind kind) { return CommandOf(kind).exportName; }

QDateTime TEngineBinding::Now() const {
  return options_.now ? options_.now() : QDateTime::currentDateTime();
}

int TEngineBinding::Show(QDialog& dialog) const {
  return options_.show ? options_.show(dialog) : dialog.exec();
}

int TEngineBinding::Choose(QWidget* parent, const QString& text,
                           const QStringList& choices) const {
  if (options_.choose) return options_.choose(text, choices);
  auto box = skin::MakeMessageBox(parent, QStringLiteral("确认"), text, skin::Buttons::Ok,
                                  skin::Icon::Question);
  for (QAbstractButton* button : box->buttons()) {
    box->removeButton(button);
    delete button;
  }
  QList<QAbstractButton*> buttons;
  for (qsizetype i = 0; i < choices.size(); ++i)
    buttons << box->addButton(choices[i], i + 1 == choices.size() ? QMessageBox::RejectRole
                                                                   : QMessageBox::AcceptRole);
  if (buttons.isEmpty()) return -1;
  box->setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
  box->setEscapeButton(buttons.back());
  box->exec();
  const qsizetype chosen = buttons.indexOf(box->clickedButton());
  return int(chosen >= 0 ? chosen : buttons.size() - 1);
}

ChartOutcome TEngineBinding::Run(ChartKind kind, QWidget* parent,
                                 const std::function<void(const QString&)>& insert,
                                 const std::function<void(const ChartCast&)>& kept) {
  const Command& command = CommandOf(kind);
  // 1. Load the library; it goes again when `library` does, on every path.
  const QString dir = EngineLibraryDir(options_.libraryDir);
  const TEngineLibrary library(QFile::encodeName(dir).toStdString(),
                               QFile::encodeName(options_.libraryFile).toStdString());
  if (!library.loaded()) {
    skin::PlainMessage(parent, kBrokenLibrary);
    return ChartOutcome::LibraryMissing;
  }
  // 2. The export.
  // A library without the export is as damaged as a missing one: say so
  // rather than let the command do nothing.
  void* function = library.Find(command.exportName);
  if (function == nullptr) {
    skin::PlainMessage(parent, kBrokenLibrary);
    return ChartOutcome::ExportMissing;
  }
  auto* setHandler = library.Find<decltype(SetQuestionHandler)>("SetQuestionHandler");

  // 3. Preset and 4. show the dialog; 5. read it, 6. check the date and
  // correct the moment. Input that cannot be corrected shows the dialog
  // again, as the user left it.
  QDialog* dialog = command.dialog(dialogs_, Now());
  TDatedForm* dated = DatedForm(dialogs_, kind);
  const Chooser choose = [this, parent](const QString& text, const QStringList& choices) {
    return Choose(parent, text, choices);
  };
  Planned plan;
  for (;;) {
    int answer = QDialog::Rejected;
    {
      const ShownOver over(*dialog, parent);
      answer = Show(*dialog);
    }
    if (answer != QDialog::Accepted) return ChartOutcome::Cancelled;
    OrvChartRequest asked = timefix::EmptyRequest(command.method).request;
    if (const auto refused = command.read(dialogs_, parent, asked)) return *refused;
    if (dated == nullptr) {
      plan = Planned{};
      plan.moments = {asked};
      plan.correction.clear();
      break;
    }
    plan = Plan(library, *dated, asked, parent, choose);
    if (plan.next == Planned::Next::Stop) return plan.outcome;
    if (plan.next == Planned::Next::Cast) break;
    dated->ShowAgain();
  }

  // 7. Call the export for each moment, 8. with its caption and the
  // correction line above the chart; all or nothing.
  struct Chart {
    QString text;
    ChartCast cast;
  };
  std::vector<Chart> charts;
  for (const OrvChartRequest& moment : plan.moments) {
    timefix::CastRequest cast;
    cast.request = moment;
    std::vector<char> buffer(static_cast<size_t>(command.bufferSize), '\0');
    // The engine's question reaches the user through this program.
    if (setHandler != nullptr) setHandler(&AskUser);
    lastAnswer = -1;
    // A moment off the whole hour (minutes given, or corrected) is cast to
    // the second through the request: the method's export casts at the
    // whole hour, before a term that begins within it.
    int32_t result = 0;
    if (moment.minute != 0 || moment.second != 0) {
      auto* atMoment = library.Find<decltype(StrChartText)>("StrChartText");
      if (atMoment == nullptr) {
        skin::PlainMessage(parent, kBrokenLibrary);
        return ChartOutcome::ExportMissing;
      }
      result = atMoment(&moment, buffer.data(), static_cast<int32_t>(buffer.size()));
    } else {
      result = command.call(dialogs_, moment, function, buffer.data());
    }
    if (result != 0) {
      Tell(parent, kDateRefused);
      return ChartOutcome::EngineRefused;
    }
    if (lastAnswer >= 0 && lastAnswer <= 2) cast.termAnswer = timefix::TermAnswer(lastAnswer);
    const QString chartText =
        GbkToUnicode(std::string_view(buffer.data(), strnlen(buffer.data(), buffer.size())));
    // The chart as data, cast with the answer the user gave.
    std::string json;
    if (timefix::CastJson(library, cast, json) != 0) json.clear();
    const QString chartJson = QString::fromStdString(json);

    Chart chart;
    chart.text = ChartCaption(cast, chartJson) + QStringLiteral("\r\n");
    if (!plan.line.isEmpty()) chart.text += plan.line + QStringLiteral("\r\n");
    chart.text += chartText;

    ChartCast& record = chart.cast;
    record.method = MethodJsonName(command.method);
    record.request = QString::fromStdString(timefix::RequestToJson(cast));
    record.clock = plan.clock;
    record.place = plan.place;
    record.longitude = plan.longitude;
    record.zone = plan.zone;
    record.correction = plan.correction;
    if (dated != nullptr) record.corrected = RequestMoment(moment, true);
    record.engineVersion = QJsonDocument::fromJson(QByteArray::fromStdString(json))
                              .object()
                              .value(QStringLiteral("engine"))
                              .toString();
    record.chartJson = chartJson;
    record.chartText = chartText;
    record.castAt = QDateTime::currentDateTime();
    charts.push_back(std::move(chart));
  }
  if (setHandler != nullptr) setHandler(&AskUser);

  // Each goes above the record text: the last first, so that they read in
  // their order from the top.
  for (auto chart = charts.rbegin(); chart != charts.rend(); ++chart) insert(chart->text);
  if (kept)
    for (const Chart& chart : charts) kept(chart.cast);
  return ChartOutcome::Inserted;
}  // 9. The buffers are freed and the library unloaded on the way out.
