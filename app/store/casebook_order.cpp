// The order of the record list, and moving records and folders.

#include <QCollator>
#include <QLocale>

#include <sqlite3.h>

#include "casebook_store.h"
#include "store_internal.h"

using namespace store_detail;

namespace {

// Chinese names in the order of their pinyin, as a Chinese reader looks for
// them; other scripts in their own order. SQLite hands the values over as
// UTF-16, which QCollator reads as it is.
int CompareHanzi(void* collator, int n1, const void* a, int n2, const void* b) {
  const QStringView left(static_cast<const char16_t*>(a), n1 / 2);
  const QStringView right(static_cast<const char16_t*>(b), n2 / 2);
  const int c = static_cast<QCollator*>(collator)->compare(left, right);
  if (c != 0) return c;
  // Equal to the collator (it may ignore some differences): code point
  // order, so that the order is total.
  return left.compare(right);
}

constexpr const char* kHanzi = "hanzi";

}  // namespace

void CasebookStore::setUpOrder() {
  auto* collator = new QCollator(QLocale(QLocale::Chinese, QLocale::China));
  collator->setNumericMode(true);
  if (sqlite3_create_collation_v2(Handle(d_->db()), kHanzi, SQLITE_UTF16_ALIGNED, collator, CompareHanzi,
                                  [](void* p) { delete static_cast<QCollator*>(p); }) != SQLITE_OK)
    throw StoreError(QStringLiteral("数据库无法按中文排序。"));
}

QString CasebookStore::orderBy(const QString& newest) const {
  const bool up = d_->direction == Qt::AscendingOrder;
  const QString dir = up ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
  QString key;
  switch (d_->order) {
    case ListOrder::Newest:
      return QStringLiteral(" ORDER BY ") + (up ? QStringLiteral("ID ASC") : newest);
    case ListOrder::Title: key = QStringLiteral("BT COLLATE hanzi"); break;
    case ListOrder::Querent: key = QStringLiteral("QZR COLLATE hanzi"); break;
    case ListOrder::Date: key = QStringLiteral("SJ"); break;
    case ListOrder::Feedback: key = QStringLiteral("FK"); break;
    case ListOrder::Folder:
      key = QStringLiteral("(SELECT Name FROM Folder WHERE Folder.ID=Omenry.FL) COLLATE hanzi");
      break;
  }
  return QStringLiteral(" ORDER BY ") + key + dir + QStringLiteral(", ID DESC");
}

void CasebookStore::SetListOrder(ListOrder order, Qt::SortOrder direction) {
  d_->order = order;
  d_->direction = direction;
  if (!d_->open || !d_->list->isOpen() || d_->listText.isEmpty()) return;
  const RowId current = d_->list->currentId();
  Relist();
  if (current) d_->list->locate(current);
}

void CasebookStore::Relist() {
  if (d_->listSearch) {
    const SearchCondition condition = *d_->listSearch;
    search(condition, d_->listSearchIndexed);
    return;
  }
  if (d_->listText.isEmpty()) return;
  const QString text = d_->listText;
  const QList<SearchBinding> bindings = d_->listBindings;
  const QString newest = d_->listNewest;
  openList(text, bindings, newest);
}

ListOrder CasebookStore::listOrder() const noexcept { return d_->order; }
Qt::SortOrder CasebookStore::listDirection() const noexcept { return d_->direction; }

// ---- moving

bool CasebookStore::FolderIsWithin(RowId folder, RowId ancestor) {
  d_->requireOpen();
  if (folder == ancestor) return true;
  // Up from `folder` through its parents (a damaged table may hold a loop:
  // the walk stops after as many steps as there are folders).
  const qint64 steps = d_->scalar(QStringLiteral("SELECT COUNT(*) FROM Folder")).toLongLong();
  RowId at = folder;
  for (qint64 i = 0; i <= steps && at > 0; ++i) {
    const QVariant parent = d_->scalar(QStringLiteral("SELECT ParentID FROM Folder WHERE ID=") + Num(at));
    if (parent.isNull()) return false;
    at = parent.toLongLong();
    if (at == ancestor) return true;
  }
  return false;
}

int CasebookStore::MoveRecords(const QList<RowId>& ids, RowId to) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  if (to <= 0 || !FolderIsLive(to))
    throw StoreError(QStringLiteral("只能把记录移到一个分类中（不是分类目录本身，也不是回收站）。"));
  int moved = 0;
  for (const RowId id : ids) {
    QSqlQuery q = d_->exec(QStringLiteral("UPDATE Omenry SET FL=") + Num(to) + QStringLiteral(" WHERE ID=") +
                           Num(id) + d_->live());
    moved += q.numRowsAffected() > 0 ? 1 : 0;
  }
  t.commit();
  if (moved) wrote();
  return moved;
}

bool CasebookStore::MoveFolder(RowId id, RowId to) {
  requireWritable();
  Transaction t(d_->db());
  if (id <= 0 || !FolderIsLive(id)) return false;
  if (FolderIsWithin(to, id))
    throw StoreError(QStringLiteral("不能把分类移到它自己或它的子分类之下。"));
  if (!FolderIsLive(to)) throw StoreError(QStringLiteral("要移到的分类已经不在了。"));
  d_->exec(QStringLiteral("UPDATE Folder SET ParentID=") + Num(to) + QStringLiteral(" WHERE ID=") + Num(id));
  t.commit();
  wrote();
  return true;
}
