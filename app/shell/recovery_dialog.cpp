#include "recovery_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "casebook_care.h"
#include "casebook_salvage.h"
#include "casebook_store.h"
#include "skin.h"

namespace {

std::function<QString()>& FileHook() {
  static std::function<QString()> hook;
  return hook;
}
std::function<void(TRecoveryForm&)>& FormHook() {
  static std::function<void(TRecoveryForm&)> hook;
  return hook;
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

QString TimeText(const QDateTime& time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm")); }

QString SizeText(qint64 bytes) {
  if (bytes < 1024 * 1024) return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
  return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString KindText(RecoveryCandidate::Kind kind) {
  switch (kind) {
    case RecoveryCandidate::Kind::Automatic: return QStringLiteral("自动备份");
    case RecoveryCandidate::Kind::UserCopy: return QStringLiteral("手动备份");
    case RecoveryCandidate::Kind::Replaced: return QStringLiteral("恢复前的数据库");
    case RecoveryCandidate::Kind::Chosen: return QStringLiteral("选定的文件");
  }
  return QString();
}

RecoveryCandidate Inspect(RecoveryCandidate::Kind kind, const QString& path, const QDateTime& time) {
  const QFileInfo info(path);
  RecoveryCandidate c;
  c.kind = kind;
  c.path = info.absoluteFilePath();
  c.time = time.isValid() ? time : info.lastModified();
  c.bytes = info.size();
  c.contents = ReadCopyContents(path);
  return c;
}

QString DatabasePath(const QString& dir) {
  return dir + QLatin1Char('/') + CasebookStore::DatabaseFileName();
}

// The text at the dialog's top when the caller gives none.
QString DefaultReason(const CasebookStore& store, const QString& dir) {
  const QString db = Native(DatabasePath(dir));
  if (store.isOpen() && !store.isDamaged())
    return QStringLiteral("从下面选一个备份来恢复数据库：\n%1\n\n恢复之后，当前的数据库改名保留在同一目录中，"
                          "以后还可以在这里选回。")
        .arg(db);
  QString text = store.isOpen()
                     ? QStringLiteral("数据库文件已损坏，没有通过完整性检查：\n%1\n\n为免损失扩大，Omenry "
                                      "不会向这个文件写入任何内容；其中还能读出的记录可以查看，但不能修改。")
                           .arg(db)
                     : QStringLiteral("数据库文件已损坏，无法读取：\n%1\n\n为免损失扩大，Omenry "
                                      "不会向这个文件写入任何内容。")
                           .arg(db);
  return text;
}

}  // namespace

void SetRecoveryFileHook(std::function<QString()> hook) { FileHook() = std::move(hook); }
void SetRecoveryFormHook(std::function<void(TRecoveryForm&)> hook) { FormHook() = std::move(hook); }

QList<RecoveryCandidate> GatherCopies(const QString& dataDir, const QStringList& userCopies) {
  QList<RecoveryCandidate> list;
  for (const BackupFile& b : ListBackups(dataDir))
    list << Inspect(RecoveryCandidate::Kind::Automatic, b.path, b.time);
  for (const QString& path : userCopies)
    if (QFileInfo(path).isFile()) list << Inspect(RecoveryCandidate::Kind::UserCopy, path, QDateTime());
  for (const BackupFile& b : ListReplacedCasebooks(dataDir))
    list << Inspect(RecoveryCandidate::Kind::Replaced, b.path, b.time);
  std::stable_sort(list.begin(), list.end(), [](const RecoveryCandidate& a, const RecoveryCandidate& b) {
    return a.time > b.time;
  });
  return list;
}

TRecoveryForm::TRecoveryForm(CasebookStore& store, const QString& dataDir, const QString& reason,
                             QWidget* parent)
    : QDialog(parent), store_(store), dir_(QDir::cleanPath(dataDir)) {
  setObjectName(QStringLiteral("RecoveryForm"));
  setWindowTitle(QStringLiteral("恢复备份"));
  sound_ = store.isOpen() && !store.isDamaged();
  salvageable_ = (!store.isOpen() || store.isDamaged()) && QFileInfo(DatabasePath(dir_)).size() > 0;
  candidates_ = GatherCopies(dir_, RememberedBackupCopies());
  CreateParts(reason.isEmpty() ? DefaultReason(store, dir_) : reason);
}

void TRecoveryForm::CreateParts(const QString& reason) {
  auto* icon = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()
                      ->standardIcon(sound_ ? QStyle::SP_MessageBoxQuestion : QStyle::SP_MessageBoxCritical,
                                     nullptr, this)
                      .pixmap(side, side));
  icon->setAlignment(Qt::AlignTop);
  QString text = reason;
  if (salvageable_)
    text += QStringLiteral(
        "\n\n可以选一个备份来恢复；也可以按“抢救记录”：把损坏的文件中还能读出的分类和记录抢救到一个新的"
        "数据库中，并补上所选备份中有、损坏的文件中读不出的记录。损坏的文件总会改名保留。");
  auto* label = new QLabel(text, this);
  label->setObjectName(QStringLiteral("lblReason"));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addWidget(label, 1);

  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("lvBackups"));
  list_->setRootIsDecorated(false);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setHeaderLabels({QStringLiteral("时间"), QStringLiteral("来源"), QStringLiteral("大小"),
                          QStringLiteral("记录数"), QStringLiteral("位置")});
  list_->header()->setStretchLastSection(true);
  for (int i = 0; i < int(candidates_.size()); ++i) AddRow(candidates_[i], i);
  for (int c = 0; c < 4; ++c) list_->resizeColumnToContents(c);
  // The newest copy that holds something is chosen first.
  for (int i = 0; i < int(candidates_.size()); ++i) {
    if (candidates_[i].contents.readable() && candidates_[i].contents.records > 0) {
      list_->setCurrentItem(list_->topLevelItem(i));
      break;
    }
  }
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &TRecoveryForm::UpdateButtons);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { RestoreChosen(); });
  empty_ = new QLabel(QStringLiteral("没有找到数据库的备份（%1）。可以按“选择文件…”指定一个备份文件。")
                          .arg(Native(BackupDir(dir_))),
                      this);
  empty_->setObjectName(QStringLiteral("lblNoBackup"));
  empty_->setWordWrap(true);
  empty_->setVisible(candidates_.isEmpty());

  auto* choose = new QPushButton(QStringLiteral("选择文件(&F)…"), this);
  choose->setObjectName(QStringLiteral("btnChooseFile"));
  restore_ = new QPushButton(QStringLiteral("恢复所选备份(&R)"), this);
  restore_->setObjectName(QStringLiteral("btnRestore"));
  salvage_ = new QPushButton(QStringLiteral("抢救记录(&S)"), this);
  salvage_->setObjectName(QStringLiteral("btnSalvage"));
  salvage_->setVisible(salvageable_);
  auto* cancel = new QPushButton(QStringLiteral("取消"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  // Enter never replaces or rebuilds the casebook by itself.
  for (QPushButton* b : {choose, restore_, salvage_}) b->setAutoDefault(false);
  cancel->setDefault(true);
  connect(choose, &QPushButton::clicked, this, &TRecoveryForm::ChooseFile);
  connect(restore_, &QPushButton::clicked, this, &TRecoveryForm::RestoreChosen);
  connect(salvage_, &QPushButton::clicked, this, &TRecoveryForm::SalvageRecords);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(choose);
  buttons->addStretch(1);
  buttons->addWidget(restore_);
  buttons->addWidget(salvage_);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_, 1);
  layout->addWidget(empty_);
  layout->addLayout(buttons);
  resize(760, 460);
  UpdateButtons();
}

void TRecoveryForm::AddRow(const RecoveryCandidate& c, int at) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, TimeText(c.time));
  item->setText(1, KindText(c.kind));
  item->setText(2, SizeText(c.bytes));
  item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  item->setText(3, c.contents.readable() ? QString::number(c.contents.records) : QStringLiteral("无法读取"));
  item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
  item->setText(4, Native(c.path));
  item->setToolTip(4, Native(c.path));
  if (!c.contents.readable()) {
    for (int col = 0; col < 5; ++col) {
      item->setForeground(col, palette().brush(QPalette::Disabled, QPalette::Text));
      item->setToolTip(col, QStringLiteral("这个文件不能用来恢复：%1").arg(c.contents.error));
    }
  }
  list_->insertTopLevelItem(at, item);
}

const RecoveryCandidate* TRecoveryForm::Selected() const {
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  if (row < 0 || row >= int(candidates_.size()) || !list_->currentItem()->isSelected()) return nullptr;
  return &candidates_[row];
}

void TRecoveryForm::UpdateButtons() {
  const RecoveryCandidate* c = Selected();
  restore_->setEnabled(c && c->contents.readable());
}

void TRecoveryForm::ChooseFile() {
  QString path;
  if (FileHook()) {
    path = FileHook()();
  } else {
    path = QFileDialog::getOpenFileName(this, QStringLiteral("选择备份文件"), QDir::homePath(),
                                        QString::fromUtf16(kBackupFilter) + QStringLiteral(";;所有文件(*)"));
  }
  if (path.isEmpty()) return;
  const RecoveryCandidate c = Inspect(RecoveryCandidate::Kind::Chosen, path, QDateTime());
  if (!c.contents.readable()) {
    skin::Message(this, QStringLiteral("提示"),
                  QStringLiteral("这个文件不是 Omenry 的数据库，不能用来恢复：\n%1\n\n%2")
                      .arg(Native(c.path), c.contents.error),
                  skin::Buttons::Ok, skin::Icon::Warning);
    return;
  }
  candidates_.prepend(c);
  AddRow(c, 0);
  empty_->hide();
  list_->setCurrentItem(list_->topLevelItem(0));
  list_->scrollToTop();
  UpdateButtons();
}

bool TRecoveryForm::WithStoreClosed(const QString& title, const QString& label, bool cancellable,
                                    const BesideWork& work) {
  store_.close();
  reopened_ = true;
  RunBeside(this, title, label, work, cancellable);
  try {
    store_.OpenStore(dir_);
  } catch (const StoreError& e) {
    skin::ShowError(this, e.message());
    return false;
  }
  return !store_.isDamaged();
}

void TRecoveryForm::RestoreChosen() {
  const RecoveryCandidate* chosen = Selected();
  if (!chosen || !chosen->contents.readable()) return;
  const RecoveryCandidate c = *chosen;
  if (sound_) {
    const CopyContents now = ReadCopyContents(DatabasePath(dir_));
    const QString question =
        QStringLiteral("要用 %1 的备份（%2 条记录）替换当前的数据库（%3 条记录）吗？\n\n"
                       "当前的数据库将改名保留在同一目录中，以后还可以在“恢复备份…”中选回。")
            .arg(TimeText(c.time))
            .arg(c.contents.records)
            .arg(now.records);
    if (skin::Message(this, QStringLiteral("确认"), question, skin::Buttons::OkCancelDestructive,
                      skin::Icon::Question) != skin::Answer::Ok)
      return;
  }
  QString error, kept;
  const KeptCasebook kind = sound_ ? KeptCasebook::Replaced : KeptCasebook::Damaged;
  WithStoreClosed(QStringLiteral("恢复备份"), QStringLiteral("正在恢复数据库…"), false,
                  [&](const std::atomic<bool>&, const CopyProgress&) {
                    error = RestoreBackup(dir_, c.path, &kept, kind);
                  });
  if (!error.isEmpty()) {
    skin::ShowError(this, QStringLiteral("恢复备份失败：%1").arg(error));
    return;
  }
  QString text = QStringLiteral("已用 %1 的备份恢复数据库（%2 条记录）。").arg(TimeText(c.time)).arg(c.contents.records);
  if (!kept.isEmpty())
    text += (sound_ ? QStringLiteral("\n原来的数据库已改名为：\n%1") : QStringLiteral("\n损坏的原文件已改名为：\n%1"))
                .arg(Native(kept));
  skin::Message(this, QStringLiteral("提示"), text, skin::Buttons::Ok, skin::Icon::Information);
  accept();
}

void TRecoveryForm::SalvageRecords() {
  if (!salvageable_) return;
  const RecoveryCandidate* chosen = Selected();
  const bool withBackup = chosen && chosen->contents.readable();
  const QString backup = withBackup ? chosen->path : QString();
  const QString backupTime = withBackup ? TimeText(chosen->time) : QString();
  // The fresh casebook is made here, by a store of this thread; the rest
  // runs beside the window.
  QString error;
  const QString fresh = MakeSalvageTarget(dir_, &error);
  if (fresh.isEmpty()) {
    skin::ShowError(this, QStringLiteral("抢救记录失败：无法建立新的数据库（%1）").arg(error));
    return;
  }
  SalvageReport report;
  QString kept;
  WithStoreClosed(QStringLiteral("抢救记录"), QStringLiteral("正在抢救记录…"), true,
                  [&](const std::atomic<bool>& cancel, const CopyProgress& progress) {
                    report = SalvageCasebook(DatabasePath(dir_), backup, fresh, &cancel, progress);
                    if (report.error.isEmpty()) report.error = PutSalvageInPlace(dir_, fresh, &kept);
                    if (!report.error.isEmpty()) DiscardSalvage(fresh);
                  });
  if (!report.error.isEmpty()) {
    skin::ShowError(this, QStringLiteral("抢救记录失败：%1").arg(report.error));
    return;
  }
  QString text = report.damagedReadable
                     ? QStringLiteral("已把损坏的文件中还能读出的 %1 个分类、%2 条记录抢救到新的数据库中。")
                           .arg(report.folders)
                           .arg(report.records)
                     : QStringLiteral("损坏的文件已无法读取，没有抢救出任何内容。");
  if (report.replacedRecords > 0)
    text += QStringLiteral("\n其中 %1 条记录只能读出一部分，已换用 %2 的备份中完整的记录。")
                .arg(report.replacedRecords)
                .arg(backupTime);
  if (withBackup)
    text += QStringLiteral("\n从 %1 的备份补上了损坏的文件中读不出的 %2 个分类、%3 条记录。")
                .arg(backupTime)
                .arg(report.backupFolders)
                .arg(report.backupRecords);
  if (report.partialRecords > 0)
    text += QStringLiteral("\n有 %1 条记录的部分内容无法读出，已在记录中注明。").arg(report.partialRecords);
  if (report.variants > 0)
    text += QStringLiteral("\n备份中有 %1 条记录与抢救出的不同，已一并放在分类“%2”中。")
                .arg(report.variants)
                .arg(QString::fromUtf16(kVariantFolderName));
  if (report.lostFolderRecords > 0)
    text += QStringLiteral("\n有 %1 条记录的分类已丢失，放在分类“%2”中。")
                .arg(report.lostFolderRecords)
                .arg(QString::fromUtf16(kLostFolderName));
  if (!kept.isEmpty()) text += QStringLiteral("\n\n损坏的原文件已改名保留为：\n%1").arg(Native(kept));
  skin::Message(this, QStringLiteral("提示"), text, skin::Buttons::Ok, skin::Icon::Information);
  accept();
}

bool OfferRecovery(QWidget* parent, CasebookStore& store, const QString& dataDir, const QString& reason) {
  const QString dir = QDir::cleanPath(dataDir.isEmpty() ? CasebookStore::DefaultDataDir() : dataDir);
  TRecoveryForm form(store, dir, reason, parent);
  if (FormHook()) QTimer::singleShot(0, &form, [&form] { FormHook()(form); });
  form.exec();
  return form.reopened();
}
