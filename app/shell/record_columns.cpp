#include "record_columns.h"

#include <QDate>

#include "folder_tree.h"
#include "record_list.h"

TRecordColumns::TRecordColumns(QObject* parent) : QIdentityProxyModel(parent) {}

QVariant TRecordColumns::data(const QModelIndex& index, int role) const {
  const QVariant value = QIdentityProxyModel::data(index, role);
  if (role != Qt::DisplayRole || !index.isValid()) return value;
  switch (index.column()) {
    case RecordList::ColSJ:
      return value.isNull() ? QString() : value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case RecordList::ColFK:
      if (value.isNull()) return QString();
      return value.toBool() ? QStringLiteral("√") : QStringLiteral("×");
    case RecordList::ColLR:
      return QString();  // the list holds no texts
    default:
      return value;
  }
}

QVariant TRecordColumns::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QIdentityProxyModel::headerData(section, orientation, role);
  switch (section) {
    case RecordList::ColBT: return QStringLiteral("标题");
    case RecordList::ColQZR: return QStringLiteral("求占人");
    case RecordList::ColSJ: return QStringLiteral("时间");
    case RecordList::ColFK: return QStringLiteral("反馈");
    case RecordList::ColFolder: return QStringLiteral("分类");  // shown with search hits
    default: return QString();  // ID, FL and LR, hidden
  }
}

Qt::ItemFlags TRecordColumns::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QIdentityProxyModel::flags(index);
  if (index.isValid()) f |= Qt::ItemIsDragEnabled;
  return f;
}

QStringList TRecordColumns::mimeTypes() const { return {TFolderTree::RecordsMimeType()}; }

QMimeData* TRecordColumns::mimeData(const QModelIndexList& indexes) const {
  const auto* list = qobject_cast<const RecordList*>(sourceModel());
  if (!list) return nullptr;
  QList<RowId> ids;
  for (const QModelIndex& index : indexes) {
    const RowId id = list->id(index.row());
    if (id > 0 && !ids.contains(id)) ids << id;
  }
  return ids.isEmpty() ? nullptr : TFolderTree::RecordsMimeData(ids);
}
