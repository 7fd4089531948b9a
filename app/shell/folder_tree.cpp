#include "folder_tree.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QTreeWidgetItemIterator>

#include "gbk_validator.h"

TFolderTree::TFolderTree(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("tvFolders"));
  setColumnCount(1);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Renaming starts only when asked for: F2, or a double click on the name
  // (which therefore does not fold the node).
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setItemDelegate(new TFolderNameDelegate(this));
  setContextMenuPolicy(Qt::CustomContextMenu);
  setExpandsOnDoubleClick(false);
  // Image 0: a closed folder; image 1, while selected: an open folder.
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  for (const QSize& size : closed.availableSizes()) {
    rootIcon_.addPixmap(closed.pixmap(size), QIcon::Normal);
    rootIcon_.addPixmap(closed.pixmap(size), QIcon::Selected);
    folderIcon_.addPixmap(closed.pixmap(size), QIcon::Normal);
  }
  for (const QSize& size : open.availableSizes())
    folderIcon_.addPixmap(open.pixmap(size), QIcon::Selected);
  binIcon_ = style()->standardIcon(QStyle::SP_TrashIcon);
  // Folders are dragged onto folders; records come from the record list.
  setDragEnabled(true);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDragDropOverwriteMode(true);  // onto a node, never between two
}

namespace {

const QString kFolderMime = QStringLiteral("application/x-hexalore-folder-id");
const QString kRecordsMime = QStringLiteral("application/x-hexalore-record-ids");

QList<RowId> Ids(const QMimeData* mime, const QString& format) {
  QList<RowId> ids;
  if (!mime || !mime->hasFormat(format)) return ids;
  for (const QByteArray& part : mime->data(format).split(',')) {
    bool ok = false;
    const RowId id = part.trimmed().toLongLong(&ok);
    if (ok && id > 0) ids << id;
  }
  return ids;
}

QByteArray Joined(const QList<RowId>& ids) {
  QByteArray out;
  for (const RowId id : ids) {
    if (!out.isEmpty()) out += ',';
    out += QByteArray::number(id);
  }
  return out;
}

}  // namespace

QMimeData* TFolderTree::FolderMimeData(RowId id) {
  auto* mime = new QMimeData;
  mime->setData(kFolderMime, Joined({id}));
  return mime;
}

QMimeData* TFolderTree::RecordsMimeData(const QList<RowId>& ids) {
  auto* mime = new QMimeData;
  mime->setData(kRecordsMime, Joined(ids));
  return mime;
}

QString TFolderTree::RecordsMimeType() { return kRecordsMime; }

QList<RowId> TFolderTree::DraggedFolders(const QMimeData* mime) { return Ids(mime, kFolderMime); }
QList<RowId> TFolderTree::DraggedRecords(const QMimeData* mime) { return Ids(mime, kRecordsMime); }

void TFolderTree::SetMovingAllowed(bool allowed) {
  movingAllowed_ = allowed;
  setDragEnabled(allowed);
}

QStringList TFolderTree::mimeTypes() const { return {kFolderMime, kRecordsMime}; }

void TFolderTree::startDrag(Qt::DropActions) {
  QTreeWidgetItem* item = currentItem();
  if (!movingAllowed_ || Kind(item) != FolderNode || !item) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(FolderMimeData(FolderId(item)));
  // The owner moves the node when told of the drop; whatever the drag
  // reports afterwards, nothing is taken out here.
  drag->exec(Qt::MoveAction, Qt::MoveAction);
}

QTreeWidgetItem* TFolderTree::DropTarget(const QMimeData* mime, const QPoint& pos) const {
  if (!movingAllowed_) return nullptr;
  QTreeWidgetItem* target = itemAt(pos);
  const NodeKind kind = Kind(target);
  if (!target || (kind != RootNode && kind != FolderNode)) return nullptr;  // not the bin
  const QList<RowId> folders = DraggedFolders(mime);
  if (!folders.isEmpty()) {
    // Onto itself is no move at all (a drag let go where it began).
    return FolderId(target) == folders.first() ? nullptr : target;
  }
  const QList<RowId> records = DraggedRecords(mime);
  if (!records.isEmpty() && kind == FolderNode) return target;  // records are never in the root
  return nullptr;
}

void TFolderTree::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (!movingAllowed_ || (DraggedFolders(mime).isEmpty() && DraggedRecords(mime).isEmpty())) {
    event->ignore();
    return;
  }
  setState(DraggingState);
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void TFolderTree::dragMoveEvent(QDragMoveEvent* event) {
  // The base draws the place the drop would go and scrolls near the edges;
  // whether it may go there is decided here.
  QTreeWidget::dragMoveEvent(event);
  if (DropTarget(event->mimeData(), event->position().toPoint())) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void TFolderTree::dropEvent(QDropEvent* event) {
  setState(NoState);
  viewport()->update();
  QTreeWidgetItem* target = DropTarget(event->mimeData(), event->position().toPoint());
  if (!target) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::MoveAction);
  event->accept();
  const RowId to = FolderId(target);
  const QList<RowId> folders = DraggedFolders(event->mimeData());
  if (!folders.isEmpty())
    emit folderDropped(folders.first(), to);
  else
    emit recordsDropped(DraggedRecords(event->mimeData()), to);
}

RowId TFolderTree::FolderId(const QTreeWidgetItem* item) {
  return item ? item->data(0, kIdRole).toLongLong() : -1;
}

TFolderTree::NodeKind TFolderTree::Kind(const QTreeWidgetItem* item) {
  if (!item) return RootNode;
  const QVariant kind = item->data(0, kKindRole);
  if (kind.isValid()) return static_cast<NodeKind>(kind.toInt());
  return item->parent() ? FolderNode : RootNode;
}

QTreeWidgetItem* TFolderTree::AddNode(QTreeWidgetItem* parent, const QString& caption,
                                      RowId id) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, caption);
  item->setData(0, kIdRole, QVariant::fromValue<qint64>(id));
  item->setIcon(0, parent ? folderIcon_ : rootIcon_);
  item->setData(0, kKindRole, parent ? FolderNode : RootNode);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
  if (parent) flags |= Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
  item->setFlags(flags);
  return item;
}

QTreeWidgetItem* TFolderTree::AddBinNode() {
  auto* item = new QTreeWidgetItem(this);
  item->setText(0, QStringLiteral("回收站"));
  item->setData(0, kIdRole, QVariant::fromValue<qint64>(-1));
  item->setData(0, kKindRole, BinNode);
  item->setIcon(0, binIcon_);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

QTreeWidgetItem* TFolderTree::AddBinFolderNode(QTreeWidgetItem* bin, const QString& caption, RowId id) {
  auto* item = new QTreeWidgetItem(bin);
  item->setText(0, caption);
  item->setData(0, kIdRole, QVariant::fromValue<qint64>(id));
  item->setData(0, kKindRole, BinFolderNode);
  item->setIcon(0, folderIcon_);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

QTreeWidgetItem* TFolderTree::FindFolder(RowId id) const {
  for (QTreeWidgetItemIterator it(const_cast<TFolderTree*>(this)); *it; ++it) {
    const NodeKind kind = Kind(*it);
    if ((kind == RootNode || kind == FolderNode) && FolderId(*it) == id) return *it;
  }
  return nullptr;
}

int TFolderTree::FlatPosition(const QTreeWidgetItem* item) const {
  int pos = 0;
  for (QTreeWidgetItemIterator it(const_cast<TFolderTree*>(this)); *it; ++it, ++pos) {
    if (*it == item) return pos;
  }
  return -1;
}

bool TFolderTree::CanRename(const QTreeWidgetItem* item) const {
  return renamingAllowed_ && item && Kind(item) == FolderNode;
}

bool TFolderTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (index.isValid() && !CanRename(itemFromIndex(index))) return false;
  return QTreeWidget::edit(index, trigger, event);
}

void TFolderTree::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const bool onNode = index.isValid() && visualRect(index).contains(event->position().toPoint());
  const bool wasCurrent = onNode && index == currentIndex();
  if (onNode) setCurrentIndex(index);
  QTreeWidget::mousePressEvent(event);
  if (wasCurrent && event->button() == Qt::LeftButton)
    if (QTreeWidgetItem* item = itemFromIndex(index)) emit currentNodeClicked(item);
}

TFolderNameDelegate::TFolderNameDelegate(TFolderTree* tree)
    : QStyledItemDelegate(tree), tree_(tree) {}

QWidget* TFolderNameDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                           const QModelIndex&) const {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QStringLiteral("edtFolderName"));
  LimitGbkBytes(edit, kFolderNameBytes);
  return edit;
}

void TFolderNameDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                       const QModelIndex& index) const {
  auto* edit = qobject_cast<QLineEdit*>(editor);
  if (!edit) return;
  if (QTreeWidgetItem* item = tree_->itemFromIndex(index))
    emit tree_->renameConfirmed(item, edit->text());
}
