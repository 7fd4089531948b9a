#include "kept_casts.h"

#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "cast_request.h"
#include "chart_lines.h"
#include "engine_binding.h"
#include "engine_library.h"
#include "record_text.h"
#include "skin.h"

// ---------------------------------------------------------------------------
// Casting again

Recast CastAgain(const ChartCast& cast, const QString& libraryDir) {
  Recast result;
  // The library as the chart commands load it, for this one cast.
  const TEngineLibrary library(QFile::encodeName(EngineLibraryDir(libraryDir)).toStdString());
  if (!library.loaded()) {
    result.outcome = Recast::Outcome::LibraryMissing;
    return result;
  }
  const std::optional<timefix::CastRequest> request =
      timefix::RequestFromJson(cast.request.toStdString());
  // A method this program does not know (a later version's) is not cast.
  if (!request || request->request.method < ORV_METHOD_BAZI || request->request.method > ORV_METHOD_XUANKONG) {
    result.outcome = Recast::Outcome::BadRequest;
    return result;
  }
  std::string gbk;
  const int code = timefix::CastText(library, *request, gbk);
  if (code == timefix::kNoExport) {
    result.outcome = Recast::Outcome::LibraryMissing;
    return result;
  }
  if (code != 0) {
    result.outcome = Recast::Outcome::EngineRefused;
    result.code = code;
    return result;
  }
  result.text = GbkToUnicode(gbk);
  std::string json;
  if (timefix::CastJson(library, *request, json) == 0)
    result.engineVersion =
        QJsonDocument::fromJson(QByteArray::fromStdString(json)).object().value(QStringLiteral("engine")).toString();
  // Line ends are not what a chart says: a text kept with LF alone is the
  // same text.
  result.outcome = ToDisplayText(result.text) == ToDisplayText(cast.chartText) ? Recast::Outcome::Same
                                                                               : Recast::Outcome::Different;
  return result;
}

QString MethodCaption(const QString& method) {
  static const struct {
    const char* name;
    const char* caption;
  } kMethods[] = {{"bazi", "八字"},  {"ziwei", "紫微"},  {"liuyao", "六爻"},
                  {"qimen", "奇门"}, {"liuren", "六壬"}, {"xuankong", "玄空"}};
  for (const auto& m : kMethods)
    if (method == QLatin1String(m.name)) return QString::fromUtf8(m.caption);
  return method;
}

// ---------------------------------------------------------------------------
// The list

namespace {

enum Column { kMethod, kCorrected, kCorrection, kPlace, kEngine, kCastAt, kColumns };

// Where the cast was made for: the place's name, or the longitude typed by
// hand ("东经87.6°", "西经74.0°"); nothing for a cast without a place.
QString PlaceText(const ChartCast& c) {
  if (!c.place.isEmpty()) return c.place;
  if (c.correction.isEmpty() || c.correction == QStringLiteral("不校正")) return QString();
  return QStringLiteral("%1%2°")
      .arg(c.longitude < 0 ? QStringLiteral("西经") : QStringLiteral("东经"))
      .arg(std::abs(c.longitude), 0, 'f', 1);
}

}  // namespace

TKeptCasts::TKeptCasts(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pnlCasts"));
  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("lblCasts"));
  btnRecast_ = new QPushButton(QStringLiteral("重新起盘"), this);
  btnRecast_->setObjectName(QStringLiteral("btnRecast"));
  btnRecast_->setToolTip(QStringLiteral("用现在的排盘引擎按原来的请求再起一次盘，看结果是否与原来相同"));

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("tblCasts"));
  table_->setHorizontalHeaderLabels({QStringLiteral("方式"), QStringLiteral("校正后时刻"), QStringLiteral("校正"),
                                     QStringLiteral("地点"), QStringLiteral("引擎版本"), QStringLiteral("起盘时间")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setAlternatingRowColors(true);
  table_->verticalHeader()->setVisible(false);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setHighlightSections(false);

  auto* head = new QHBoxLayout;
  head->setContentsMargins(0, 0, 0, 0);
  head->addWidget(caption_);
  head->addStretch(1);
  head->addWidget(btnRecast_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(3);
  layout->addLayout(head);
  layout->addWidget(table_);

  connect(table_, &QTableWidget::itemSelectionChanged, this, &TKeptCasts::UpdateCommand);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { emit recastRequested(row); });
  connect(btnRecast_, &QPushButton::clicked, this, [this] {
    if (currentCast() >= 0) emit recastRequested(currentCast());
  });
  SetCasts({}, 0);
}

void TKeptCasts::SetCasts(const QList<ChartCast>& casts, int stored) {
  const int keep = currentCast();
  casts_ = casts;
  table_->setRowCount(int(casts.size()));
  for (int row = 0; row < int(casts.size()); ++row) {
    const ChartCast& c = casts[row];
    QString at = c.castAt.isValid() ? c.castAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
    if (row >= stored) at += QStringLiteral("（未保存）");
    const QString cells[kColumns] = {MethodCaption(c.method), c.corrected, c.correction,
                                     PlaceText(c),           c.engineVersion, at};
    QString tip;
    if (!c.clock.isEmpty()) tip += QStringLiteral("给出的时间：%1").arg(c.clock);
    if (!c.zone.isEmpty()) tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("时区：%1").arg(c.zone);
    for (int col = 0; col < kColumns; ++col) {
      auto* item = new QTableWidgetItem(cells[col]);
      item->setToolTip(tip);
      table_->setItem(row, col, item);
    }
  }
  // Compact: as high as its rows, up to four; more scroll.
  const int rows = std::clamp(int(casts.size()), 1, 4);
  table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                         rows * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth());
  caption_->setText(QStringLiteral("起盘记录（%1）").arg(casts.size()));
  if (!casts.isEmpty()) table_->selectRow(keep >= 0 && keep < int(casts.size()) ? keep : int(casts.size()) - 1);
  setVisible(!casts.isEmpty());
  UpdateCommand();
}

int TKeptCasts::currentCast() const {
  const QList<QTableWidgetItem*> selected = table_->selectedItems();
  return selected.isEmpty() ? -1 : selected.first()->row();
}

void TKeptCasts::UpdateCommand() { btnRecast_->setEnabled(currentCast() >= 0); }

// ---------------------------------------------------------------------------
// The two texts

void ChangedLines(const QStringList& a, const QStringList& b, QList<int>* inA, QList<int>* inB) {
  // The table of longest common sequences of the tails (charts are a few
  // dozen lines).
  const int n = int(a.size()), m = int(b.size());
  std::vector<std::vector<int>> lcs(size_t(n) + 1, std::vector<int>(size_t(m) + 1, 0));
  for (int i = n - 1; i >= 0; --i)
    for (int j = m - 1; j >= 0; --j)
      lcs[size_t(i)][size_t(j)] = a[i] == b[j] ? lcs[size_t(i) + 1][size_t(j) + 1] + 1
                                               : std::max(lcs[size_t(i) + 1][size_t(j)], lcs[size_t(i)][size_t(j) + 1]);
  int i = 0, j = 0;
  while (i < n && j < m) {
    if (a[i] == b[j]) {
      ++i;
      ++j;
    } else if (lcs[size_t(i) + 1][size_t(j)] >= lcs[size_t(i)][size_t(j) + 1]) {
      inA->append(i++);
    } else {
      inB->append(j++);
    }
  }
  while (i < n) inA->append(i++);
  while (j < m) inB->append(j++);
}

namespace {

TChartTextEdit* ChartView(QWidget* parent, const QString& name, const QString& text, const QList<int>& marked) {
  auto* view = new TChartTextEdit(parent);
  view->setObjectName(name);
  view->setReadOnly(true);
  view->setFont(skin::TextFont());
  view->setLineWrapMode(QTextEdit::NoWrap);
  view->setPlainText(text);
  QTextCharFormat red;
  red.setForeground(QColor(255, 0, 0));
  for (const int line : marked) {
    const QTextBlock block = view->document()->findBlockByNumber(line);
    if (!block.isValid()) continue;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(red);
    QTextBlockFormat shade;
    shade.setBackground(QColor(255, 232, 232));
    cursor.mergeBlockFormat(shade);
  }
  return view;
}

}  // namespace

TRecastForm::TRecastForm(const ChartCast& cast, const Recast& now, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("RecastForm"));
  setWindowTitle(QStringLiteral("重新起盘"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  const QString was = ToDisplayText(cast.chartText);
  const QString is = ToDisplayText(now.text);
  ChangedLines(was.split(QLatin1Char('\n')), is.split(QLatin1Char('\n')), &changedBefore_, &changedNow_);

  verdict_ = new QLabel(now.outcome == Recast::Outcome::Same ? QStringLiteral("与原结果相同")
                                                              : QStringLiteral("与原结果不同"),
                        this);
  verdict_->setObjectName(QStringLiteral("lblVerdict"));
  QFont bold = verdict_->font();
  bold.setBold(true);
  verdict_->setFont(bold);
  auto* detail = new QLabel(QStringLiteral("原结果中有 %1 行、现在的结果中有 %2 行与对方不同，以红色标出。")
                                .arg(changedBefore_.size())
                                .arg(changedNow_.size()),
                            this);

  before_ = ChartView(this, QStringLiteral("txtBefore"), was, changedBefore_);
  now_ = ChartView(this, QStringLiteral("txtNow"), is, changedNow_);
  auto engine = [](const QString& version) {
    return version.isEmpty() ? QStringLiteral("引擎版本不详") : QStringLiteral("引擎 %1").arg(version);
  };
  const QString when = cast.castAt.isValid() ? QStringLiteral("，") + cast.castAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                             : QString();
  auto* beforeCaption = new QLabel(QStringLiteral("原结果（%1%2）").arg(engine(cast.engineVersion), when), this);
  auto* nowCaption = new QLabel(QStringLiteral("现在的结果（%1）").arg(engine(now.engineVersion)), this);

  // The two views scroll together.
  for (auto [from, to] : {std::pair{before_, now_}, std::pair{now_, before_}}) {
    connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(), &QScrollBar::setValue);
    connect(from->horizontalScrollBar(), &QScrollBar::valueChanged, to->horizontalScrollBar(), &QScrollBar::setValue);
  }

  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setObjectName(QStringLiteral("btnClose"));
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* columns = new QHBoxLayout;
  for (auto [caption, view] : {std::pair{beforeCaption, before_}, std::pair{nowCaption, now_}}) {
    auto* column = new QVBoxLayout;
    column->addWidget(caption);
    column->addWidget(view, 1);
    columns->addLayout(column, 1);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(verdict_);
  layout->addWidget(detail);
  layout->addLayout(columns, 1);
  layout->addLayout(buttons);
  resize(1100, 700);
}

void TRecastForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  for (auto [view, changed] : {std::pair{before_, &changedBefore_}, std::pair{now_, &changedNow_}}) {
    if (changed->isEmpty()) continue;
    QTextCursor at(view->document()->findBlockByNumber(changed->first()));
    view->setTextCursor(at);
    view->ensureCursorVisible();
  }
}
