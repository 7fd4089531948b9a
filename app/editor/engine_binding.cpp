#include "engine_binding.h"

#include <dlfcn.h>
#include <iconv.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDialog>
#include <QPointer>
#include <QFile>
#include <QRadioButton>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "chart_dialogs.h"
#include "edit_form.h"
#include "orv.h"
#include "skin.h"

// ---------------------------------------------------------------------------
// GBK → Unicode

namespace {

// An iconv conversion, closed when it goes.
class Conversion {
 public:
  Conversion(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Conversion() {
    if (ok()) iconv_close(cd_);
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

QString GbkToUnicode(std::string_view gbk) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
  Conversion conversion("UTF-8", "GBK");
  if (!conversion.ok()) return QString::fromLatin1(gbk.data(), qsizetype(gbk.size()));
  // A GBK byte never grows beyond three UTF-8 bytes.
  std::string out(gbk.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(gbk.data());
  size_t inLeft = gbk.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(conversion.get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
      break;
    if (errno == E2BIG) {  // not expected; grow and go on
      const size_t used = size_t(outPtr - out.data());
      out.resize(out.size() * 2);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    // EILSEQ (not GBK) or EINVAL (a lead byte at the very end): replace one
    // byte and go on with the next.
    if (outLeft < 3) {
      const size_t used = size_t(outPtr - out.data());
      out.resize(out.size() + 64);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
    }
    std::memcpy(outPtr, kReplacement, 3);
    outPtr += 3;
    outLeft -= 3;
    ++in;
    --inLeft;
  }
  return QString::fromUtf8(out.data(), qsizetype(outPtr - out.data()));
}

// ---------------------------------------------------------------------------
// TEngineLibrary

TEngineLibrary::TEngineLibrary(const QString& directory, const QString& fileName) {
  if (!directory.isEmpty()) {
    const QByteArray path = QFile::encodeName(QDir(directory).filePath(fileName));
    handle_ = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
  }
  if (handle_ == nullptr) {
    // A plain file name: the system's library search.
    const QByteArray name = QFile::encodeName(fileName);
    if (!name.contains('/')) handle_ = dlopen(name.constData(), RTLD_NOW | RTLD_LOCAL);
  }
}

TEngineLibrary::~TEngineLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* TEngineLibrary::Find(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

// ---------------------------------------------------------------------------
// The chart command

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

}  // namespace

TEngineBinding::TEngineBinding(TChartDialogs& dialogs) : TEngineBinding(dialogs, Options{}) {}

TEngineBinding::TEngineBinding(TChartDialogs& dialogs, Options options)
    : dialogs_(dialogs), options_(std::move(options)) {}

const char* TEngineBinding::ExportName(ChartKind kind) {
  switch (kind) {
    case ChartKind::Bazi:
      return "StrBazi";
    case ChartKind::Ziwei:
      return "StrZiwei";
    case ChartKind::Liuyao:
      return "StrLiuyao";
    case ChartKind::Qimen:
      return "StrQimen";
    case ChartKind::Liuren:
      return "Str6Ren";
    case ChartKind::Xuankong:
      return "StrXuankong";
  }
  return "";
}

QDateTime TEngineBinding::Now() const {
  return options_.now ? options_.now() : QDateTime::currentDateTime();
}

int TEngineBinding::Show(QDialog& dialog) const {
  return options_.show ? options_.show(dialog) : dialog.exec();
}

ChartOutcome TEngineBinding::Run(ChartKind kind, TEditForm& editor) {
  QPointer<QWidget> before = QApplication::focusWidget();
  if (before && before->window() != &editor) before = nullptr;
  const ChartOutcome outcome =
      Run(kind, &editor, [&editor](const QString& text) { editor.InsertChartText(text); });
  // The keyboard goes back to the editor: to the text when a chart went
  // there, else to where it was.
  editor.activateWindow();
  editor.raise();
  QWidget* next = outcome == ChartOutcome::Inserted || !before ? editor.reText() : before.data();
  next->setFocus(Qt::OtherFocusReason);
  return outcome;
}

ChartOutcome TEngineBinding::Run(ChartKind kind, QWidget* parent,
                                 const std::function<void(const QString&)>& insert) {
  // 1. Load the library; it goes again when `library` does, on every path.
  const QString dir = options_.libraryDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                                    : options_.libraryDir;
  const TEngineLibrary library(dir, options_.libraryFile);
  if (!library.loaded()) {
    skin::PlainMessage(parent, kBrokenLibrary);
    return ChartOutcome::LibraryMissing;
  }
  // 2. The export.
  // A library without the export is as damaged as a missing one: say so
  // rather than let the command do nothing.
  void* function = library.Find(ExportName(kind));
  if (function == nullptr) {
    skin::PlainMessage(parent, kBrokenLibrary);
    return ChartOutcome::ExportMissing;
  }
  // The engine's question reaches the user through this program.
  if (auto* setHandler = library.Find<decltype(SetQuestionHandler)>("SetQuestionHandler"))
    setHandler(&AskUser);

  // 3. Preset and 4. show the dialog.
  QDialog* dialog = nullptr;
  switch (kind) {
    case ChartKind::Bazi:
    case ChartKind::Ziwei:
      // One dialog for two charts: its caption says which is cast.
      dialogs_.bazi()->setWindowTitle(kind == ChartKind::Bazi ? QStringLiteral("八字排盘")
                                                              : QStringLiteral("紫微排盘"));
      dialog = dialogs_.bazi();
      break;
    case ChartKind::Liuyao:
      dialogs_.liuyao()->Preset(Now());
      dialog = dialogs_.liuyao();
      break;
    case ChartKind::Qimen:
      dialogs_.qimen()->Preset(Now());
      dialog = dialogs_.qimen();
      break;
    case ChartKind::Liuren:
      dialogs_.liuren()->Preset(Now());
      dialog = dialogs_.liuren();
      break;
    case ChartKind::Xuankong:
      dialog = dialogs_.xuankong();
      break;
  }
  int answer = QDialog::Rejected;
  {
    const ShownOver over(*dialog, parent);
    answer = Show(*dialog);
  }
  if (answer != QDialog::Accepted) return ChartOutcome::Cancelled;

  // 5. Read the controls and 6. check the date, then 7. call.
  const int bytes = kind == ChartKind::Ziwei ? ORV_ZIWEI_BUFFER_SIZE : ORV_CHART_BUFFER_SIZE;
  std::vector<char> buffer(size_t(bytes), '\0');
  int32_t result = 0;
  DateBlock d;
  switch (kind) {
    case ChartKind::Bazi:
    case ChartKind::Ziwei: {
      const TBaziForm& form = *dialogs_.bazi();
      if (const auto refused = ReadDate(form, false, parent, d)) return *refused;
      const uint8_t male = form.rbNan()->isChecked() ? 1 : 0;
      auto* call = reinterpret_cast<decltype(&StrBazi)>(function);  // StrZiwei alike
      result = call(d.solar, d.leap, male, d.year, d.month, d.day, d.hour, buffer.data());
      break;
    }
    case ChartKind::Liuyao: {
      const TLiuyaoForm& form = *dialogs_.liuyao();
      if (const auto refused = ReadDate(form, false, parent, d)) return *refused;
      const uint8_t manual = form.rbManual()->isChecked() ? 1 : 0;
      auto* call = reinterpret_cast<decltype(&StrLiuyao)>(function);
      // The top line first.
      result = call(form.cbYao(6)->currentIndex(), form.cbYao(5)->currentIndex(),
                    form.cbYao(4)->currentIndex(), form.cbYao(3)->currentIndex(),
                    form.cbYao(2)->currentIndex(), form.cbYao(1)->currentIndex(), d.solar, d.leap,
                    manual, d.year, d.month, d.day, d.hour, buffer.data());
      break;
    }
    case ChartKind::Qimen: {
      const TQimenForm& form = *dialogs_.qimen();
      if (const auto refused = ReadDate(form, false, parent, d)) return *refused;
      const uint8_t flying = form.rbTypeFei()->isChecked() ? 1 : 0;
      auto* call = reinterpret_cast<decltype(&StrQimen)>(function);
      // −1 while no 局 has been picked: the engine takes it as automatic.
      result = call(d.solar, d.leap, flying, form.cbJu()->currentIndex(), d.year, d.month, d.day,
                    d.hour, buffer.data());
      break;
    }
    case ChartKind::Liuren: {
      const TLiurenForm& form = *dialogs_.liuren();
      if (const auto refused = ReadDate(form, true, parent, d)) return *refused;
      const uint8_t male = form.rbNan()->isChecked() ? 1 : 0;
      const uint8_t daytime = form.rbZhou()->isChecked() ? 1 : 0;
      const uint8_t guiRen = form.rbJWG()->isChecked() ? 1 : 0;
      const uint8_t sheHai = form.rbMZJ()->isChecked() ? 1 : 0;
      const int32_t birthYear = form.cbXingNianEnable()->isChecked()
                                    ? -1
                                    : TLiurenForm::kFirstBirthYear + form.cbXingNian()->currentIndex();
      auto* call = reinterpret_cast<decltype(&Str6Ren)>(function);
      // The hour of a branch is its first hour: 子 0, 丑 2 … 亥 22.
      result = call(d.solar, d.leap, male, d.year, d.month, d.day, d.hour * 2, buffer.data(),
                    daytime, guiRen, sheHai, birthYear);
      break;
    }
    case ChartKind::Xuankong: {
      const TXuankongForm& form = *dialogs_.xuankong();
      auto* call = reinterpret_cast<decltype(&StrXuankong)>(function);
      // 挨星下卦 (entry 0) is the xiagua chart, 挨星替卦 (entry 1) the tigua.
      const uint8_t xiagua = form.cbXiang()->currentIndex() == 0 ? 1 : 0;
      result = call(form.cbYun()->currentIndex(), form.cbShan()->currentIndex(), xiagua,
                    buffer.data());
      break;
    }
  }

  // 8. Insert the chart, or tell that the engine refused the date.
  if (result != 0) {
    Tell(parent, kDateRefused);
    return ChartOutcome::EngineRefused;
  }
  const size_t length = strnlen(buffer.data(), buffer.size());
  insert(GbkToUnicode(std::string_view(buffer.data(), length)));
  return ChartOutcome::Inserted;
}  // 9. The buffer is freed and the library unloaded on the way out.
