#pragma once
// The folder tree of the main window: one root node "分类目录" for the
// virtual folder 0 and one node per folder, each carrying the folder's ID;
// below them the recycle bin "回收站", whose nodes are the deleted folders.
// A mouse press of any button on a node selects it first (so that the
// context menu acts on the node under the pointer). A folder's name is
// edited in place only when the user asks for it (F2, the rename command, a
// double click on the name), never by a single click, and never for the
// root or the bin; a confirmed rename is handed to the owner instead of
// being written into the node.

#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "casebook_store.h"

class TFolderTree : public QTreeWidget {
  Q_OBJECT

 public:
  static constexpr int kIdRole = Qt::UserRole;
  static constexpr int kKindRole = Qt::UserRole + 1;

  // What a node stands for.
  enum NodeKind {
    RootNode,       // "分类目录", the virtual folder 0
    FolderNode,     // a folder
    BinNode,        // "回收站"
    BinFolderNode,  // a folder in the recycle bin
  };

  explicit TFolderTree(QWidget* parent = nullptr);

  // The folder ID a node stands for (0 for the root; -1 for the bin).
  static RowId FolderId(const QTreeWidgetItem* item);
  static NodeKind Kind(const QTreeWidgetItem* item);
  // Adds a node: under `parent` (nullptr: a top-level node, the root).
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& caption, RowId id);
  // Adds the recycle bin as a top-level node after the others.
  QTreeWidgetItem* AddBinNode();
  // Adds a deleted folder under the bin node.
  QTreeWidgetItem* AddBinFolderNode(QTreeWidgetItem* bin, const QString& caption, RowId id);
  // The node of the live folder with that ID (the root for 0), or nullptr.
  QTreeWidgetItem* FindFolder(RowId id) const;

  // The node's index in the list of all nodes in tree order, each parent
  // before its children, collapsed nodes counted too (root 0); -1 when the
  // node is not in this tree.
  int FlatPosition(const QTreeWidgetItem* item) const;
  // Whether the node's caption may be edited in place: a folder's, while
  // renaming is allowed.
  bool CanRename(const QTreeWidgetItem* item) const;
  // A read-only casebook allows no renaming.
  void SetRenamingAllowed(bool allowed) { renamingAllowed_ = allowed; }

 signals:
  // An in-place edit of the node's caption was confirmed with `text`. The
  // node still shows its old caption; the receiver decides what it shows.
  void renameConfirmed(QTreeWidgetItem* item, const QString& text);
  // A left click on the node that was already the current one (which
  // changes no selection).
  void currentNodeClicked(QTreeWidgetItem* item);

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QIcon rootIcon_;
  QIcon folderIcon_;
  QIcon binIcon_;
  bool renamingAllowed_ = true;
};

// Editor of a node's caption: refuses more than the folder name's GBK bytes
// and reports the confirmed text through the tree's renameConfirmed().
class TFolderNameDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit TFolderNameDelegate(TFolderTree* tree);
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

 private:
  TFolderTree* tree_;
};
