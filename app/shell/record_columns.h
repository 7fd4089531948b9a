#pragma once
// How the main window shows the record list: the store's record list seen
// through a proxy that titles the columns ("标题", "求占人", "时间", "反馈")
// and writes the date as "yyyy-MM-dd" and the feedback as "√" or "×" (an
// empty cell for an empty field). Rows and columns are the record list's own.
// The order of the rows is the store's (sorted in the database): sort()
// goes through to the record list.

#include <QIdentityProxyModel>

class TRecordColumns : public QIdentityProxyModel {
  Q_OBJECT

 public:
  explicit TRecordColumns(QObject* parent = nullptr);

  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // Rows are dragged onto a folder of the tree: the drag carries the
  // records' IDs (TFolderTree::RecordsMimeData).
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
};
