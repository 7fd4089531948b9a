#include "chart_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

#include "skin.h"
#include "time_correction.h"

namespace {

QStringList Numbers(int first, int last, const QString& suffix = QString()) {
  QStringList list;
  for (int n = first; n <= last; ++n) list << QString::number(n) + suffix;
  return list;
}

// A remembered option: true or false when the value is stored as a number,
// nothing when it is missing or unreadable.
std::optional<bool> ReadOption(const QSettings& settings, const QString& name) {
  const QVariant value = settings.value(name);
  if (!value.isValid()) return std::nullopt;
  bool ok = false;
  const int number = value.toInt(&ok);
  if (!ok) return std::nullopt;
  return number != 0;
}

// The places offered while a place is typed, at most this many.
constexpr std::size_t kCompletions = 12;
// Roles of a completion entry: the place's name (what the field takes), its
// longitude and its time zone.
constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kLongitudeRole = Qt::UserRole + 2;
constexpr int kZoneRole = Qt::UserRole + 3;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Sets the entry of a hour list, −1 (nothing) when the hour has no entry.
void SelectEntry(QComboBox* list, int index) {
  list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

}  // namespace

QString ChineseNumber(int n) {
  static const char* const kNumbers[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九"};
  return n >= 1 && n <= 9 ? QString::fromUtf8(kNumbers[n - 1]) : QString::number(n);
}

QString XuankongPeriod(int period) { return ChineseNumber(period) + QStringLiteral("运"); }

const QStringList& XuankongMountains() {
  static const QStringList list = {
      QStringLiteral("壬山丙向"), QStringLiteral("子山午向"), QStringLiteral("癸山丁向"),
      QStringLiteral("丑山未向"), QStringLiteral("艮山坤向"), QStringLiteral("寅山申向"),
      QStringLiteral("甲山庚向"), QStringLiteral("卯山酉向"), QStringLiteral("乙山辛向"),
      QStringLiteral("辰山戌向"), QStringLiteral("巽山乾向"), QStringLiteral("巳山亥向"),
      QStringLiteral("丙山壬向"), QStringLiteral("午山子向"), QStringLiteral("丁山癸向"),
      QStringLiteral("未山丑向"), QStringLiteral("坤山艮向"), QStringLiteral("申山寅向"),
      QStringLiteral("庚山甲向"), QStringLiteral("酉山卯向"), QStringLiteral("辛山乙向"),
      QStringLiteral("戌山辰向"), QStringLiteral("乾山巽向"), QStringLiteral("亥山巳向")};
  return list;
}

QString XuankongKind(bool xiagua) {
  return xiagua ? QStringLiteral("挨星下卦") : QStringLiteral("挨星替卦");
}

const QStringList& Branches() {
  static const QStringList list = {
      QStringLiteral("子"), QStringLiteral("丑"), QStringLiteral("寅"), QStringLiteral("卯"),
      QStringLiteral("辰"), QStringLiteral("巳"), QStringLiteral("午"), QStringLiteral("未"),
      QStringLiteral("申"), QStringLiteral("酉"), QStringLiteral("戌"), QStringLiteral("亥")};
  return list;
}

// ---------------------------------------------------------------------------
// TChartForm

TChartForm::TChartForm(const QString& objectName, const QString& caption, QWidget* parent)
    : QDialog(parent) {
  setObjectName(objectName);
  setWindowTitle(caption);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);

  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  body_ = new QVBoxLayout;
  body_->setSpacing(8);
  outer->addLayout(body_);

  btnOk_ = new QPushButton(QStringLiteral("确定"), this);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  btnOk_->setDefault(true);
  btnCancel_ = new QPushButton(QStringLiteral("取消"), this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  btnCancel_->setAutoDefault(false);
  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel_);
  outer->addSpacing(4);
  outer->addLayout(buttons);
}

void TChartForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (firstField_ != nullptr) firstField_->setFocus(Qt::OtherFocusReason);
}

QComboBox* TChartForm::MakeList(const QString& name, const QStringList& entries, bool typing) {
  auto* list = new QComboBox(this);
  list->setObjectName(name);
  list->addItems(entries);
  list->setMaxVisibleItems(16);
  if (typing) {
    list->setEditable(true);
    // Typed text is read as it stands; it never becomes an entry.
    list->setInsertPolicy(QComboBox::NoInsert);
    list->installEventFilter(this);
    list->lineEdit()->installEventFilter(this);
  }
  return list;
}

bool TChartForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier) {
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        btnOk_->click();
        return true;
      }
      if (key->key() == Qt::Key_Escape) {
        reject();
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

QRadioButton* TChartForm::MakeRadio(const QString& name, const QString& text) {
  auto* button = new QRadioButton(text, this);
  button->setObjectName(name);
  return button;
}

QGroupBox* TChartForm::MakeGroup(const QString& title, std::initializer_list<QWidget*> members) {
  auto* group = new QGroupBox(title, this);
  auto* row = new QHBoxLayout(group);
  // Radio buttons of one group exclude each other: they share the group as
  // their parent.
  for (QWidget* member : members) row->addWidget(member);
  row->addStretch(1);
  return group;
}

// ---------------------------------------------------------------------------
// TDatedForm

TDatedForm::TDatedForm(const QString& objectName, const QString& caption,
                       const QStringList& hourEntries, const QString& initialYear,
                       const QString& groupTitle, QWidget* parent)
    : TChartForm(objectName, caption, parent) {
  cbYear_ = MakeList(QStringLiteral("cbYear"), Numbers(years::kFirst, years::kLast), true);
  cbMonth_ = MakeList(QStringLiteral("cbMonth"), Numbers(1, 12), true);
  cbDay_ = MakeList(QStringLiteral("cbDay"), Numbers(1, 31), true);
  cbHour_ = MakeList(QStringLiteral("cbHour"), hourEntries, true);
  cbMinute_ = MakeList(QStringLiteral("cbMinute"), Numbers(0, 59), true);
  cbYear_->setCurrentIndex(cbYear_->findText(initialYear));
  cbMonth_->setCurrentIndex(0);
  cbDay_->setCurrentIndex(0);
  cbHour_->setCurrentIndex(0);
  cbMinute_->setCurrentIndex(0);
  cbYear_->setMinimumContentsLength(5);
  for (QComboBox* list : {cbMonth_, cbDay_, cbHour_, cbMinute_}) list->setMinimumContentsLength(3);

  auto* dateRow = new QHBoxLayout;
  const std::pair<QComboBox*, const char*> parts[] = {{cbYear_, "年"}, {cbMonth_, "月"},
                                                      {cbDay_, "日"},  {cbHour_, "时"},
                                                      {cbMinute_, "分"}};
  for (const auto& [list, label] : parts) {
    auto* text = new QLabel(QString::fromUtf8(label), this);
    text->setBuddy(list);
    dateRow->addWidget(list);
    dateRow->addWidget(text);
  }
  dateRow->addStretch(1);
  body()->addLayout(dateRow);

  rbSolar_ = MakeRadio(QStringLiteral("rbSolar"), QStringLiteral("阳历"));
  rbLunar_ = MakeRadio(QStringLiteral("rbLunar"), QStringLiteral("阴历"));
  cbRunyue_ = new QCheckBox(QStringLiteral("闰月"), this);
  cbRunyue_->setObjectName(QStringLiteral("cbRunyue"));
  rbSolar_->setChecked(true);
  body()->addWidget(MakeGroup(QStringLiteral("日历"), {rbSolar_, rbLunar_, cbRunyue_}));
  SetFirstField(cbYear_);

  MakeCorrectionGroup(groupTitle);
  ReadPlace();
}

void TDatedForm::MakeCorrectionGroup(const QString& title) {
  // Below the method's controls, above the buttons.
  auto* tail = new QVBoxLayout;
  tail->setSpacing(4);
  static_cast<QVBoxLayout*>(layout())->insertLayout(1, tail);

  btnCorrection_ = new QToolButton(this);
  btnCorrection_->setObjectName(QStringLiteral("btnCorrection"));
  btnCorrection_->setText(title);
  btnCorrection_->setCheckable(true);
  btnCorrection_->setAutoRaise(true);
  btnCorrection_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  btnCorrection_->setArrowType(Qt::RightArrow);
  tail->addWidget(btnCorrection_);

  gbCorrection_ = new QGroupBox(this);
  gbCorrection_->setObjectName(QStringLiteral("gbCorrection"));
  auto* grid = new QGridLayout(gbCorrection_);
  edtPlace_ = new QLineEdit(gbCorrection_);
  edtPlace_->setObjectName(QStringLiteral("edtPlace"));
  edtPlace_->setPlaceholderText(QStringLiteral("城市名，如 乌鲁木齐"));
  edtLongitude_ = new QLineEdit(gbCorrection_);
  edtLongitude_->setObjectName(QStringLiteral("edtLongitude"));
  edtLongitude_->setPlaceholderText(QStringLiteral("东经为正"));
  edtZone_ = new QLineEdit(gbCorrection_);
  edtZone_->setObjectName(QStringLiteral("edtZone"));
  edtZone_->setPlaceholderText(QStringLiteral("Asia/Shanghai"));
  const std::pair<QWidget*, const char*> fields[] = {
      {edtPlace_, "地点"}, {edtLongitude_, "经度"}, {edtZone_, "时区"}};
  int row = 0;
  for (const auto& [field, label] : fields) {
    auto* text = new QLabel(QString::fromUtf8(label), gbCorrection_);
    text->setBuddy(field);
    grid->addWidget(text, row, 0);
    grid->addWidget(field, row, 1);
    ++row;
  }
  rbNoCorrection_ = new QRadioButton(QStringLiteral("不校正"), gbCorrection_);
  rbNoCorrection_->setObjectName(QStringLiteral("rbNoCorrection"));
  rbMeanSolar_ = new QRadioButton(QStringLiteral("平太阳时"), gbCorrection_);
  rbMeanSolar_->setObjectName(QStringLiteral("rbMeanSolar"));
  rbTrueSolar_ = new QRadioButton(QStringLiteral("真太阳时"), gbCorrection_);
  rbTrueSolar_->setObjectName(QStringLiteral("rbTrueSolar"));
  rbNoCorrection_->setChecked(true);
  auto* choices = new QHBoxLayout;
  for (QRadioButton* choice : {rbNoCorrection_, rbMeanSolar_, rbTrueSolar_})
    choices->addWidget(choice);
  choices->addStretch(1);
  grid->addLayout(choices, row, 0, 1, 2);
  tail->addWidget(gbCorrection_);
  gbCorrection_->setVisible(false);

  // Completion from the built-in places: the list shows name and region,
  // the field takes the name; choosing one fills in longitude and zone.
  placeModel_ = new QStandardItemModel(this);
  auto* completer = new QCompleter(placeModel_, this);
  completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
  completer->setCompletionRole(kNameRole);
  completer->setMaxVisibleItems(int(kCompletions));
  edtPlace_->setCompleter(completer);
  connect(edtPlace_, &QLineEdit::textEdited, this, &TDatedForm::CompletePlace);
  connect(edtPlace_, &QLineEdit::textChanged, this, &TDatedForm::FollowPlace);
  connect(completer, qOverload<const QModelIndex&>(&QCompleter::activated), this,
          [this](const QModelIndex& index) {
            edtLongitude_->setText(index.data(kLongitudeRole).toString());
            edtZone_->setText(index.data(kZoneRole).toString());
          });
  connect(btnCorrection_, &QToolButton::toggled, this, &TDatedForm::ShowCorrection);
}

void TDatedForm::ShowCorrection(bool open) {
  if (btnCorrection_->isChecked() != open) btnCorrection_->setChecked(open);  // comes back here
  btnCorrection_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
  gbCorrection_->setVisible(open);
  if (layout() != nullptr) layout()->activate();  // the dialog takes its new size now
}

void TDatedForm::CompletePlace(const QString& typed) {
  placeModel_->clear();
  const QByteArray prefix = typed.trimmed().toUtf8();
  if (prefix.isEmpty()) return;
  for (const timefix::Place* place :
       timefix::CompletePlaces(std::string_view(prefix.constData(), size_t(prefix.size())),
                               kCompletions)) {
    const QString name = Utf8(place->name);
    auto* item = new QStandardItem(name + QStringLiteral("（") + Utf8(place->region) +
                                   QStringLiteral("）"));
    item->setData(name, kNameRole);
    item->setData(QString::number(place->longitude), kLongitudeRole);
    item->setData(Utf8(place->zone), kZoneRole);
    item->setEditable(false);
    placeModel_->appendRow(item);
  }
}

void TDatedForm::FollowPlace(const QString& text) {
  const QByteArray name = text.trimmed().toUtf8();
  if (name.isEmpty()) return;
  if (const timefix::Place* place =
          timefix::FindPlace(std::string_view(name.constData(), size_t(name.size())))) {
    edtLongitude_->setText(QString::number(place->longitude));
    edtZone_->setText(Utf8(place->zone));
  }
}

TDatedForm::Correction TDatedForm::CorrectionChoice() const {
  if (rbTrueSolar_->isChecked()) return Correction::TrueSolar;
  if (rbMeanSolar_->isChecked()) return Correction::MeanSolar;
  return Correction::None;
}

QString TDatedForm::SettingsName(const char* value) const {
  QString form = objectName();
  form.chop(4);  // "BaziForm" -> "Bazi"
  return form + QString::fromLatin1(value);
}

void TDatedForm::ReadPlace() {
  const QSettings settings;
  // The place first: a known place fills in longitude and zone, which the
  // values stored with it then overwrite (they may have been typed).
  edtPlace_->setText(settings.value(SettingsName("Place")).toString());
  for (const auto& [field, name] :
       {std::pair{edtLongitude_, "Longitude"}, std::pair{edtZone_, "Zone"}}) {
    const QVariant value = settings.value(SettingsName(name));
    if (value.isValid()) field->setText(value.toString());
  }
  if (const auto stored = settings.value(SettingsName("Correction")); stored.isValid()) {
    bool ok = false;
    const int choice = stored.toInt(&ok);
    QRadioButton* const buttons[] = {rbNoCorrection_, rbMeanSolar_, rbTrueSolar_};
    if (ok && choice >= 0 && choice <= 2) buttons[choice]->setChecked(true);
  }
  // A correction remembered from the last time is in sight, not hidden.
  ShowCorrection(CorrectionChoice() != Correction::None);
}

void TDatedForm::WritePlace() const {
  QSettings settings;
  settings.setValue(SettingsName("Place"), edtPlace_->text().trimmed());
  settings.setValue(SettingsName("Longitude"), edtLongitude_->text().trimmed());
  settings.setValue(SettingsName("Zone"), edtZone_->text().trimmed());
  settings.setValue(SettingsName("Correction"), int(CorrectionChoice()));
  settings.sync();  // a failure to write is not the user's concern
}

void TDatedForm::showEvent(QShowEvent* event) {
  if (!tabOrdered_) {
    TabToCorrectionLast();
    tabOrdered_ = true;
  }
  TChartForm::showEvent(event);
  showingAgain_ = false;
}

// The group is made before the method's own controls, below which it
// stands: Tab reaches it after them, as it reads from the top.
void TDatedForm::TabToCorrectionLast() {
  QWidget* last = nullptr;  // the last of the other fields
  for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain()) {
    if (w->focusPolicy() == Qt::NoFocus || w == btnCorrection_ || gbCorrection_->isAncestorOf(w))
      continue;
    last = w;
  }
  if (last == nullptr) return;
  QWidget* const order[] = {last,        btnCorrection_,  edtPlace_,    edtLongitude_,
                            edtZone_,    rbNoCorrection_, rbMeanSolar_, rbTrueSolar_};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TDatedForm::done(int result) {
  WritePlace();
  TChartForm::done(result);
}

void TDatedForm::Preset(const QDateTime& now) {
  const QDate date = now.date();
  SelectEntry(cbYear_, date.year() - years::kFirst);
  SelectEntry(cbMonth_, date.month() - 1);
  SelectEntry(cbDay_, date.day() - 1);
  SelectEntry(cbHour_, now.time().hour());
  cbMinute_->setCurrentIndex(0);  // the hour as today; minutes are given by hand
}

// ---------------------------------------------------------------------------
// TBaziForm

TBaziForm::TBaziForm(QWidget* parent)
    : TDatedForm(QStringLiteral("BaziForm"), QString(), Numbers(0, 23), QStringLiteral("1980"),
                 QStringLiteral("出生地与时间校正"), parent) {
  rbNan_ = MakeRadio(QStringLiteral("rbNan"), QStringLiteral("男"));
  rbNv_ = MakeRadio(QStringLiteral("rbNv"), QStringLiteral("女"));
  rbNan_->setChecked(true);
  body()->addWidget(MakeGroup(QStringLiteral("性别"), {rbNan_, rbNv_}));
}

// ---------------------------------------------------------------------------
// TLiuyaoForm

TLiuyaoForm::TLiuyaoForm(QWidget* parent)
    : TDatedForm(QStringLiteral("LiuyaoForm"), QStringLiteral("六爻"), Numbers(0, 23),
                 QStringLiteral("1920"), QStringLiteral("起课地点与时间校正"), parent) {
  const QStringList lines = {QStringLiteral("━　━"), QStringLiteral("━━━"),
                             QStringLiteral("━　━×"), QStringLiteral("━━━○")};
  auto* column = new QVBoxLayout;
  column->setSpacing(4);
  // Top to bottom: line 6 first.
  for (int line = 6; line >= 1; --line) {
    QComboBox* list = MakeList(QStringLiteral("cbYao%1").arg(line), lines, false);
    list->setCurrentIndex(0);
    list->setFont(skin::TextFont());  // the lines drawn as in the chart text
    cbYao_[line - 1] = list;
    column->addWidget(list);
  }
  auto* linesRow = new QHBoxLayout;
  linesRow->addLayout(column);
  linesRow->addStretch(1);
  body()->insertLayout(0, linesRow);

  rbManual_ = MakeRadio(QStringLiteral("rbManual"), QStringLiteral("手工指定"));
  rbDatetime_ = MakeRadio(QStringLiteral("rbDatetime"), QStringLiteral("时间卦"));
  rbManual_->setChecked(true);
  body()->addWidget(MakeGroup(QStringLiteral("方式"), {rbManual_, rbDatetime_}));
  SetFirstField(cbYao_[5]);
}

// ---------------------------------------------------------------------------
// TQimenForm

TQimenForm::TQimenForm(QWidget* parent)
    : TDatedForm(QStringLiteral("QimenForm"), QStringLiteral("奇门遁甲"), Numbers(0, 23),
                 QStringLiteral("1980"), QStringLiteral("起课地点与时间校正"), parent) {
  QStringList ju = {QStringLiteral("自动")};
  for (int n = 1; n <= 9; ++n) ju << QStringLiteral("阳") + ChineseNumber(n) + QStringLiteral("局");
  for (int n = 1; n <= 9; ++n) ju << QStringLiteral("阴") + ChineseNumber(n) + QStringLiteral("局");
  cbJu_ = MakeList(QStringLiteral("cbJu"), ju, false);
  // "自动" shows while no entry has been picked yet.
  cbJu_->setPlaceholderText(QStringLiteral("自动"));
  cbJu_->setCurrentIndex(-1);
  auto* juRow = new QHBoxLayout;
  auto* juLabel = new QLabel(QStringLiteral("局"), this);
  juLabel->setBuddy(cbJu_);
  juRow->addWidget(juLabel);
  juRow->addWidget(cbJu_);
  juRow->addStretch(1);
  body()->addLayout(juRow);

  rbTypeZhuan_ = MakeRadio(QStringLiteral("rbTypeZhuan"), QStringLiteral("转盘"));
  rbTypeFei_ = MakeRadio(QStringLiteral("rbTypeFei"), QStringLiteral("飞盘"));
  rbTypeZhuan_->setChecked(true);
  body()->addWidget(MakeGroup(QStringLiteral("方式"), {rbTypeZhuan_, rbTypeFei_}));

  const QSettings settings;
  if (const auto zhuan = ReadOption(settings, QStringLiteral("Zhuan")))
    (*zhuan ? rbTypeZhuan_ : rbTypeFei_)->setChecked(true);
}

void TQimenForm::done(int result) {
  QSettings settings;
  settings.setValue(QStringLiteral("Zhuan"), rbTypeZhuan_->isChecked() ? 1 : 0);
  settings.sync();  // a failure to write is not the user's concern
  TDatedForm::done(result);
}

// ---------------------------------------------------------------------------
// TLiurenForm

TLiurenForm::TLiurenForm(QWidget* parent)
    : TDatedForm(QStringLiteral("LiurenForm"), QStringLiteral("六壬"), Branches(),
                 QStringLiteral("1980"), QStringLiteral("起课地点与时间校正"), parent) {
  rbNan_ = MakeRadio(QStringLiteral("rbNan"), QStringLiteral("男"));
  rbNv_ = MakeRadio(QStringLiteral("rbNv"), QStringLiteral("女"));
  rbNan_->setChecked(true);
  rbZhou_ = MakeRadio(QStringLiteral("rbZhou"), QStringLiteral("昼"));
  rbYe_ = MakeRadio(QStringLiteral("rbYe"), QStringLiteral("夜"));
  auto* sexAndTime = new QHBoxLayout;
  sexAndTime->addWidget(MakeGroup(QStringLiteral("性别"), {rbNan_, rbNv_}));
  sexAndTime->addWidget(MakeGroup(QStringLiteral("昼夜"), {rbZhou_, rbYe_}));
  body()->addLayout(sexAndTime);

  cbXingNian_ = MakeList(QStringLiteral("cbXingNian"), Numbers(kFirstBirthYear, kLastBirthYear),
                         false);
  cbXingNian_->setCurrentIndex(60);  // 1980
  cbXingNianEnable_ = new QCheckBox(QStringLiteral("不使用"), this);
  cbXingNianEnable_->setObjectName(QStringLiteral("cbXingNianEnable"));
  cbXingNianEnable_->setChecked(true);
  auto* birthRow = new QHBoxLayout;
  auto* birthLabel = new QLabel(QStringLiteral("生年"), this);
  birthLabel->setBuddy(cbXingNian_);
  birthRow->addWidget(birthLabel);
  birthRow->addWidget(cbXingNian_);
  birthRow->addWidget(cbXingNianEnable_);
  birthRow->addStretch(1);
  body()->addLayout(birthRow);

  rbJWG_ = MakeRadio(QStringLiteral("rbJWG"), QStringLiteral("甲戊庚牛羊"));
  rbJYW_ = MakeRadio(QStringLiteral("rbJYW"), QStringLiteral("甲羊戊庚牛"));
  rbJWG_->setChecked(true);
  body()->addWidget(MakeGroup(QStringLiteral("贵人"), {rbJWG_, rbJYW_}));
  rbMZJ_ = MakeRadio(QStringLiteral("rbMZJ"), QStringLiteral("按孟仲季"));
  rbShengQian_ = MakeRadio(QStringLiteral("rbShengQian"), QStringLiteral("按涉害深浅"));
  rbMZJ_->setChecked(true);
  body()->addWidget(MakeGroup(QStringLiteral("涉害"), {rbMZJ_, rbShengQian_}));

  // Picking a birth year, even the one shown, means it is to be used.
  connect(cbXingNian_, &QComboBox::activated, this, [this] { cbXingNianEnable_->setChecked(false); });
  connect(cbXingNian_, &QComboBox::currentIndexChanged, this,
          [this] { cbXingNianEnable_->setChecked(false); });
  connect(cbHour(), &QComboBox::currentTextChanged, this, &TLiurenForm::FollowHour);
  FollowHour();

  // Both options or neither: one unreadable value leaves both as they are.
  const QSettings settings;
  const auto guiRen = ReadOption(settings, QStringLiteral("GuiRen"));
  const auto sheHai = ReadOption(settings, QStringLiteral("SheHai"));
  if (guiRen && sheHai) {
    (*guiRen ? rbJWG_ : rbJYW_)->setChecked(true);
    (*sheHai ? rbMZJ_ : rbShengQian_)->setChecked(true);
  }
}

int TLiurenForm::HourEntry() const { return cbHour()->findText(cbHour()->currentText()); }

void TLiurenForm::FollowHour() {
  const int entry = HourEntry();
  if (entry < 0) return;  // no branch named: day or night stays as it is
  (entry >= 3 && entry <= 8 ? rbZhou_ : rbYe_)->setChecked(true);  // 卯 … 申: daytime
}

void TLiurenForm::Preset(const QDateTime& now) {
  TDatedForm::Preset(now);
  SelectEntry(cbHour(), ((now.time().hour() + 1) / 2) % 12);
}

void TLiurenForm::showEvent(QShowEvent* event) {
  if (!showingAgain()) {
    FollowHour();
    cbXingNianEnable_->setChecked(true);
  }
  TDatedForm::showEvent(event);
}

void TLiurenForm::done(int result) {
  QSettings settings;
  settings.setValue(QStringLiteral("GuiRen"), rbJWG_->isChecked() ? 1 : 0);
  settings.setValue(QStringLiteral("SheHai"), rbMZJ_->isChecked() ? 1 : 0);
  settings.sync();  // a failure to write is not the user's concern
  TDatedForm::done(result);
}

// ---------------------------------------------------------------------------
// TXuankongForm

TXuankongForm::TXuankongForm(QWidget* parent)
    : TChartForm(QStringLiteral("XuankongForm"), QStringLiteral("玄空"), parent) {
  QStringList periods;
  for (int period = 1; period <= 9; ++period) periods << XuankongPeriod(period);
  const QStringList& mountains = XuankongMountains();
  cbYun_ = MakeList(QStringLiteral("cbYun"), periods, false);
  cbShan_ = MakeList(QStringLiteral("cbShan"), mountains, false);
  cbXiang_ = MakeList(QStringLiteral("cbXiang"), {XuankongKind(true), XuankongKind(false)}, false);
  cbYun_->setCurrentIndex(7);  // 八运
  cbShan_->setCurrentIndex(0);
  cbXiang_->setCurrentIndex(0);
  for (QComboBox* list : {cbYun_, cbShan_, cbXiang_}) body()->addWidget(list);
  SetFirstField(cbYun_);
}

// ---------------------------------------------------------------------------
// TChartDialogs

TChartDialogs::TChartDialogs(QWidget* parent)
    : bazi_(new TBaziForm(parent)),
      liuyao_(new TLiuyaoForm(parent)),
      qimen_(new TQimenForm(parent)),
      liuren_(new TLiurenForm(parent)),
      xuankong_(new TXuankongForm(parent)) {}

TChartDialogs::~TChartDialogs() {
  delete bazi_.data();
  delete liuyao_.data();
  delete qimen_.data();
  delete liuren_.data();
  delete xuankong_.data();
}

bool TLiurenForm::UsesBirthYear() const { return !cbXingNianEnable_->isChecked(); }
