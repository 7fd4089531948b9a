#include "search_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "casebook_text.h"
#include "skin.h"

namespace {

const QString kFormName = QStringLiteral("frmSearch");

}  // namespace

QStringList SearchWords(const QString& typed) {
  return TrimControls(typed).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

SearchClause LikeClause(SearchField field, const QString& typed, bool all, QStringList* highlight) {
  SearchClause clause;
  clause.field = field;
  clause.words = SearchWords(typed);
  clause.all = all;
  if (highlight) *highlight = clause.words;
  return clause;
}

// ---------------------------------------------------------------------------
// TfrmSearch

TfrmSearch::TfrmSearch(TSearchHost& host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(kFormName);
  setWindowTitle(QStringLiteral("查找"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags((windowFlags() | Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) &
                 ~Qt::WindowContextHelpButtonHint);

  auto* label = new QLabel(QStringLiteral("查找文字："), this);
  edtSearchStr_ = new QLineEdit(this);
  edtSearchStr_->setObjectName(QStringLiteral("edtSearchStr"));
  edtSearchStr_->setMinimumWidth(260);
  edtSearchStr_->installEventFilter(this);
  label->setBuddy(edtSearchStr_);

  auto* rgGuanxi = new QGroupBox(QStringLiteral("关系"), this);
  rgGuanxi->setObjectName(QStringLiteral("rgGuanxi"));
  rbAnd_ = new QRadioButton(QStringLiteral("与"), rgGuanxi);
  rbAnd_->setObjectName(QStringLiteral("rbAnd"));
  rbOr_ = new QRadioButton(QStringLiteral("或"), rgGuanxi);
  rbOr_->setObjectName(QStringLiteral("rbOr"));
  rbAnd_->setChecked(true);
  auto* relation = new QHBoxLayout(rgGuanxi);
  relation->addWidget(rbAnd_);
  relation->addWidget(rbOr_);
  relation->addStretch(1);

  auto* range = new QGroupBox(QStringLiteral("范围"), this);
  range->setObjectName(QStringLiteral("gbRange"));
  chkTitle_ = new QCheckBox(QStringLiteral("按标题"), range);
  chkTitle_->setObjectName(QStringLiteral("chkTitle"));
  chkContent_ = new QCheckBox(QStringLiteral("按内容"), range);
  chkContent_->setObjectName(QStringLiteral("chkContent"));
  auto* fields = new QHBoxLayout(range);
  fields->addWidget(chkTitle_);
  fields->addWidget(chkContent_);
  fields->addStretch(1);

  // What else the records must meet: the querent, the dates, the feedback.
  auto* criteria = new QGroupBox(QStringLiteral("条件"), this);
  criteria->setObjectName(QStringLiteral("gbCriteria"));
  auto* qzrLabel = new QLabel(QStringLiteral("求占人："), criteria);
  edtQZR_ = new QLineEdit(criteria);
  edtQZR_->setObjectName(QStringLiteral("edtQZR"));
  qzrLabel->setBuddy(edtQZR_);
  chkDate_ = new QCheckBox(QStringLiteral("时间："), criteria);
  chkDate_->setObjectName(QStringLiteral("chkDate"));
  const QDate today = QDate::currentDate();
  deFrom_ = new QDateEdit(QDate(today.year(), 1, 1), criteria);
  deFrom_->setObjectName(QStringLiteral("deFrom"));
  deTo_ = new QDateEdit(today, criteria);
  deTo_->setObjectName(QStringLiteral("deTo"));
  for (QDateEdit* d : {deFrom_, deTo_}) {
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    d->setCalendarPopup(true);
    d->setEnabled(false);
    connect(chkDate_, &QCheckBox::toggled, d, &QWidget::setEnabled);
  }
  auto* fkLabel = new QLabel(QStringLiteral("反馈："), criteria);
  rbFkAll_ = new QRadioButton(QStringLiteral("全部"), criteria);
  rbFkAll_->setObjectName(QStringLiteral("rbFkAll"));
  rbFkYes_ = new QRadioButton(QStringLiteral("有反馈"), criteria);
  rbFkYes_->setObjectName(QStringLiteral("rbFkYes"));
  rbFkNo_ = new QRadioButton(QStringLiteral("无反馈"), criteria);
  rbFkNo_->setObjectName(QStringLiteral("rbFkNo"));
  rbFkAll_->setChecked(true);
  auto* grid = new QGridLayout(criteria);
  grid->addWidget(qzrLabel, 0, 0);
  grid->addWidget(edtQZR_, 0, 1, 1, 4);
  grid->addWidget(chkDate_, 1, 0);
  grid->addWidget(deFrom_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("至"), criteria), 1, 2);
  grid->addWidget(deTo_, 1, 3);
  grid->addWidget(fkLabel, 2, 0);
  auto* fk = new QHBoxLayout;
  fk->addWidget(rbFkAll_);
  fk->addWidget(rbFkYes_);
  fk->addWidget(rbFkNo_);
  fk->addStretch(1);
  grid->addLayout(fk, 2, 1, 1, 4);
  grid->setColumnStretch(4, 1);

  btnOK_ = new QPushButton(QStringLiteral("确定"), this);
  btnOK_->setObjectName(QStringLiteral("btnOK"));
  btnOK_->setDefault(true);
  btnCancel_ = new QPushButton(QStringLiteral("取消"), this);
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  btnCancel_->setAutoDefault(false);
  connect(btnOK_, &QPushButton::clicked, this, &TfrmSearch::Confirm);
  connect(btnCancel_, &QPushButton::clicked, this, &TfrmSearch::reject);

  auto* text = new QHBoxLayout;
  text->addWidget(label);
  text->addWidget(edtSearchStr_, 1);
  auto* groups = new QHBoxLayout;
  groups->addWidget(rgGuanxi, 1);
  groups->addWidget(range, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOK_);
  buttons->addWidget(btnCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(text);
  layout->addLayout(groups);
  layout->addWidget(criteria);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

TfrmSearch::~TfrmSearch() = default;

TfrmSearch* TfrmSearch::Find() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == kFormName)
      if (auto* form = qobject_cast<TfrmSearch*>(w)) return form;
  return nullptr;
}

void TfrmSearch::ShowForMode(SearchMode mode) {
  chkTitle_->setChecked(mode != SearchMode::Text);
  chkContent_->setChecked(mode != SearchMode::Title);
  show();
  raise();
  activateWindow();
}

void TfrmSearch::Confirm() {
  const QString typed = edtSearchStr_->text();
  SearchCondition criteria;
  criteria.querent = edtQZR_->text();
  if (chkDate_->isChecked()) {
    criteria.from = deFrom_->date();
    criteria.to = deTo_->date();
  }
  if (rbFkYes_->isChecked()) criteria.feedback = true;
  if (rbFkNo_->isChecked()) criteria.feedback = false;
  const bool words = !SearchWords(typed).isEmpty();
  // Blanks alone are no words: with nothing else asked for, nothing to
  // search for.
  if (!words && !criteria.hasCriteria()) {
    skin::ShowError(this, QStringLiteral("请输入要查询的关键字。"));
    return;
  }
  if (words && !chkTitle_->isChecked() && !chkContent_->isChecked()) {
    skin::ShowError(this, QStringLiteral("请指定按什么来查找。"));
    return;
  }
  if (criteria.from.isValid() && criteria.to.isValid() && criteria.from > criteria.to) {
    skin::ShowError(this, QStringLiteral("开始的日期晚于结束的日期，请检查。"));
    deFrom_->setFocus(Qt::OtherFocusReason);
    return;
  }
  // Out of sight before the query starts.
  hide();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

  const bool all = rbAnd_->isChecked();
  QStringList highlight;
  where_ = criteria;
  if (words && chkTitle_->isChecked())
    where_.clauses.append(LikeClause(SearchField::Title, typed, all, &highlight));
  if (words && chkContent_->isChecked())
    where_.clauses.append(LikeClause(SearchField::Text, typed, all, &highlight));
  // "查找“甲 乙”", and what else was asked: "，求占人“张”，2024-01-01 至
  // 2024-06-30，有反馈".
  QStringList told;
  if (words) told << QStringLiteral("查找“") + typed + QStringLiteral("”");
  const QString querent = TrimControls(criteria.querent);
  if (!querent.isEmpty()) told << QStringLiteral("求占人“") + querent + QStringLiteral("”");
  if (chkDate_->isChecked())
    told << criteria.from.toString(Qt::ISODate) + QStringLiteral(" 至 ") + criteria.to.toString(Qt::ISODate);
  if (criteria.feedback) told << (*criteria.feedback ? QStringLiteral("有反馈") : QStringLiteral("无反馈"));
  caption_ = told.join(QStringLiteral("，"));
  if (!words) caption_.prepend(QStringLiteral("查找："));
  host_.SetHighlightWords(highlight);
  host_.RunSearch(where_, caption_);
}

void TfrmSearch::reject() { close(); }

bool TfrmSearch::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate && edtSearchStr_->isVisible() &&
      edtSearchStr_->isEnabled())
    edtSearchStr_->setFocus(Qt::ActiveWindowFocusReason);
  return QDialog::event(e);
}

bool TfrmSearch::eventFilter(QObject* watched, QEvent* e) {
  if (watched == edtSearchStr_ && e->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(e);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & Qt::ControlModifier)) {
      Confirm();
      return true;  // goes no further
    }
  }
  return QDialog::eventFilter(watched, e);
}

void TfrmSearch::closeEvent(QCloseEvent* e) {
  // Closing destroys the window (WA_DeleteOnClose); from here on the next
  // search command makes a new one.
  setObjectName(QString());
  e->accept();
}

// ---------------------------------------------------------------------------
// TFormWait

namespace {
QPointer<TFormWait> g_wait;
}

TFormWait::TFormWait()
    // (Not a splash screen: showing one runs the event loop, which would
    // take the close request before the query.)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QStringLiteral("FormWait"));
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(431, 67);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
}

TFormWait::~TFormWait() {
  if (cursorSet_) QApplication::restoreOverrideCursor();
}

TFormWait* TFormWait::Open() {
  auto* wait = new TFormWait;
  g_wait = wait;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  wait->cursorSet_ = true;
  // The close request waits in the event queue until the query is done.
  QMetaObject::invokeMethod(wait, &QWidget::close, Qt::QueuedConnection);
  wait->show();
  wait->repaint();
  return wait;
}

TFormWait* TFormWait::Current() { return g_wait.data(); }

void TFormWait::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Base));
  p.setPen(palette().color(QPalette::Active, QPalette::Highlight));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setPen(QColor(0, 0, 255));
  p.drawText(rect(), Qt::AlignCenter, QStringLiteral("正在查询数据, 请稍等..."));
}

void TFormWait::closeEvent(QCloseEvent* e) {
  if (cursorSet_) {
    QApplication::restoreOverrideCursor();
    cursorSet_ = false;
  }
  e->accept();
}

// ---------------------------------------------------------------------------
// The time a search took

QString ElapsedText(qint64 milliseconds) {
  const qint64 ms = milliseconds % 1000;
  const qint64 s = milliseconds / 1000 % 60;
  const qint64 m = milliseconds / 60000 % 60;
  const qint64 h = milliseconds / 3600000;
  return QString::asprintf("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(h),
                           static_cast<long long>(m), static_cast<long long>(s),
                           static_cast<long long>(ms));
}
