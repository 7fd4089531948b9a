#include "folder_tree.h"

#include <QHeaderView>
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
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (parent) flags |= Qt::ItemIsEditable;
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
