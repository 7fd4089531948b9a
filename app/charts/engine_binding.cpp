#include "engine_binding.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <cstring>
#include <optional>
#include <vector>

#include "chart_dialogs.h"
#include "gbk_text.h"
#include "orv.h"
#include "skin.h"

QString GbkToUnicode(std::string_view gbk) {
  const std::string utf8 = GbkToUtf8(gbk);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

namespace {

const QString kCaption = QStringLiteral("提示");
const QString kBrokenLibrary = QStringLiteral("程序被病毒感染或已损坏，请重新安装 !");
const QString kYearRange =
    QStringLiteral("本软件的有效工作范围为%1年至%2年。").arg(years::kFirst).arg(years::kLast);
const QString kDateRefused = QStringLiteral("日期输入错误！");

// The engine's question (before or after a solar-term change), asked in a
// modal box: 是 → 0 (before), 否 → 1 (after), 取消 → 2 (as entered).
int32_t AskUser(const char* question) noexcept {
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

// The date block of the dated dialogs, read from the selectors' texts.
struct DateBlock {
  uint8_t solar = 1;
  uint8_t leap = 0;
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;  // in the Liu Ren dialog: the entry of the branch
};

std::optional<int32_t> DecimalOf(const QString& text) {
  static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
  const QString trimmed = text.trimmed();
  if (!decimal.match(trimmed).hasMatch()) return std::nullopt;
  bool ok = false;
  const int value = trimmed.toInt(&ok, 10);
  if (!ok) return std::nullopt;  // beyond 32 bits
  return value;
}

// Reads the date block; on a field that is no decimal integer, a year
// outside 1920–2050 or a field outside its list tells the user and gives
// the outcome instead.
std::optional<ChartOutcome> ReadDate(const TDatedForm& form, bool hourIsBranch, QWidget* parent,
                                     DateBlock& date) {
  date.solar = form.rbSolar()->isChecked() ? 1 : 0;
  date.leap = form.cbRunyue()->isChecked() ? 1 : 0;

  struct Field {
    QComboBox* list;
    const char* name;
    int32_t* value;
  };
  std::vector<Field> fields = {{form.cbYear(), "年份", &date.year},
                               {form.cbMonth(), "月份", &date.month},
                               {form.cbDay(), "日期", &date.day}};
  if (!hourIsBranch) fields.push_back({form.cbHour(), "时辰", &date.hour});
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

  if (date.year < years::kFirst || date.year > years::kLast) {
    Tell(parent, kYearRange);
    return ChartOutcome::YearOutOfRange;
  }

  if (hourIsBranch) date.hour = form.cbHour()->findText(form.cbHour()->currentText());
  const bool inLists = date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31 &&
                       date.hour >= 0 && date.hour < form.cbHour()->count();
  if (!inLists) {
    Tell(parent, kDateRefused);
    return ChartOutcome::DateRefused;
  }
  return std::nullopt;
}

uint8_t Flag(const QAbstractButton* button) { return button->isChecked() ? 1 : 0; }

// ---------------------------------------------------------------------------
// The commands

// What reading a dialog and calling the export came to: the export's
// result, or the outcome of an entry that was refused before the call (the
// user has been told).
struct CallResult {
  std::optional<ChartOutcome> refused;
  int32_t result = 0;
};

CallResult Refused(ChartOutcome outcome) { return {outcome, 0}; }
CallResult Answered(int32_t result) { return {std::nullopt, result}; }

// The Four Pillars and the Purple Star: one dialog, one argument list.
template <typename Export>
CallResult CallBazi(const TChartDialogs& dialogs, void* function, QWidget* parent, char* buffer) {
  const TBaziForm& form = *dialogs.bazi();
  DateBlock d;
  if (const auto refused = ReadDate(form, false, parent, d)) return Refused(*refused);
  auto* call = reinterpret_cast<Export*>(function);
  return Answered(
      call(d.solar, d.leap, Flag(form.rbNan()), d.year, d.month, d.day, d.hour, buffer));
}

CallResult CallLiuyao(const TChartDialogs& dialogs, void* function, QWidget* parent,
                      char* buffer) {
  const TLiuyaoForm& form = *dialogs.liuyao();
  DateBlock d;
  if (const auto refused = ReadDate(form, false, parent, d)) return Refused(*refused);
  auto* call = reinterpret_cast<decltype(StrLiuyao)*>(function);
  // The top line first.
  return Answered(call(form.cbYao(6)->currentIndex(), form.cbYao(5)->currentIndex(),
                       form.cbYao(4)->currentIndex(), form.cbYao(3)->currentIndex(),
                       form.cbYao(2)->currentIndex(), form.cbYao(1)->currentIndex(), d.solar,
                       d.leap, Flag(form.rbManual()), d.year, d.month, d.day, d.hour, buffer));
}

CallResult CallQimen(const TChartDialogs& dialogs, void* function, QWidget* parent,
                     char* buffer) {
  const TQimenForm& form = *dialogs.qimen();
  DateBlock d;
  if (const auto refused = ReadDate(form, false, parent, d)) return Refused(*refused);
  auto* call = reinterpret_cast<decltype(StrQimen)*>(function);
  // −1 while no 局 has been picked: the engine takes it as automatic.
  return Answered(call(d.solar, d.leap, Flag(form.rbTypeFei()), form.cbJu()->currentIndex(),
                       d.year, d.month, d.day, d.hour, buffer));
}

CallResult CallLiuren(const TChartDialogs& dialogs, void* function, QWidget* parent,
                      char* buffer) {
  const TLiurenForm& form = *dialogs.liuren();
  DateBlock d;
  if (const auto refused = ReadDate(form, true, parent, d)) return Refused(*refused);
  const int32_t birthYear = form.UsesBirthYear()
                                ? TLiurenForm::kFirstBirthYear + form.cbXingNian()->currentIndex()
                                : -1;
  auto* call = reinterpret_cast<decltype(Str6Ren)*>(function);
  // The hour of a branch is its first hour: 子 0, 丑 2 … 亥 22.
  return Answered(call(d.solar, d.leap, Flag(form.rbNan()), d.year, d.month, d.day, d.hour * 2,
                       buffer, Flag(form.rbZhou()), Flag(form.rbJWG()), Flag(form.rbMZJ()),
                       birthYear));
}

CallResult CallXuankong(const TChartDialogs& dialogs, void* function, QWidget*, char* buffer) {
  const TXuankongForm& form = *dialogs.xuankong();
  auto* call = reinterpret_cast<decltype(StrXuankong)*>(function);
  // 挨星下卦 (entry 0) is the xiagua chart, 挨星替卦 (entry 1) the tigua.
  const uint8_t xiagua = form.cbXiang()->currentIndex() == 0 ? 1 : 0;
  return Answered(
      call(form.cbYun()->currentIndex(), form.cbShan()->currentIndex(), xiagua, buffer));
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
// dialog it shows and how the dialog's values become the export's
// arguments.
struct Command {
  ChartKind kind;
  const char* exportName;
  int bufferSize;
  QDialog* (*dialog)(const TChartDialogs&, const QDateTime& now);
  CallResult (*call)(const TChartDialogs&, void* function, QWidget* parent, char* buffer);
};

const Command kCommands[] = {
    {ChartKind::Bazi, "StrBazi", ORV_CHART_BUFFER_SIZE, BaziDialog, CallBazi<decltype(StrBazi)>},
    {ChartKind::Ziwei, "StrZiwei", ORV_ZIWEI_BUFFER_SIZE, ZiweiDialog,
     CallBazi<decltype(StrZiwei)>},
    {ChartKind::Liuyao, "StrLiuyao", ORV_CHART_BUFFER_SIZE, PresetDialog<&TChartDialogs::liuyao>,
     CallLiuyao},
    {ChartKind::Qimen, "StrQimen", ORV_CHART_BUFFER_SIZE, PresetDialog<&TChartDialogs::qimen>,
     CallQimen},
    {ChartKind::Liuren, "Str6Ren", ORV_CHART_BUFFER_SIZE, PresetDialog<&TChartDialogs::liuren>,
     CallLiuren},
    {ChartKind::Xuankong, "StrXuankong", ORV_CHART_BUFFER_SIZE, XuankongDialog, CallXuankong},
};

const Command& CommandOf(ChartKind kind) {
  for (const Command& command : kCommands)
    if (command.kind == kind) return command;
  return kCommands[0];  // every kind has its entry above
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

ChartOutcome TEngineBinding::Run(ChartKind kind, QWidget* parent,
                                 const std::function<void(const QString&)>& insert) {
  const Command& command = CommandOf(kind);
  // 1. Load the library; it goes again when `library` does, on every path.
  const QString dir = options_.libraryDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                    : options_.libraryDir;
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
  // The engine's question reaches the user through this program.
  if (auto* setHandler = library.Find<decltype(SetQuestionHandler)>("SetQuestionHandler"))
    setHandler(&AskUser);

  // 3. Preset and 4. show the dialog.
  QDialog* dialog = command.dialog(dialogs_, Now());
  int answer = QDialog::Rejected;
  {
    const ShownOver over(*dialog, parent);
    answer = Show(*dialog);
  }
  if (answer != QDialog::Accepted) return ChartOutcome::Cancelled;

  // 5. Read the controls and 6. check the date, then 7. call.
  std::vector<char> buffer(static_cast<size_t>(command.bufferSize), '\0');
  const CallResult call = command.call(dialogs_, function, parent, buffer.data());
  if (call.refused) return *call.refused;

  // 8. Hand the chart over, or tell that the engine refused the date.
  if (call.result != 0) {
    Tell(parent, kDateRefused);
    return ChartOutcome::EngineRefused;
  }
  const size_t length = strnlen(buffer.data(), buffer.size());
  insert(GbkToUnicode(std::string_view(buffer.data(), length)));
  return ChartOutcome::Inserted;
}  // 9. The buffer is freed and the library unloaded on the way out.
