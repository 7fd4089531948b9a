// The folders of the casebook (table Folder), and the recycle bin of
// folders and records.

#include <QDateTime>

#include "casebook_store.h"
#include "store_internal.h"

using namespace store_detail;

namespace {

// The mark of a deletion: the local time to the millisecond. A folder and
// the records that go to the bin with it carry the same mark, which is how
// the bin knows them to belong together.
QString DeletionMark(const QDateTime& time = QDateTime::currentDateTime()) {
  return time.toString(Qt::ISODateWithMs);
}

const QString kBlankName = QStringLiteral("分类名称不能为空，也不能只有空格。");

}  // namespace

QList<FolderRow> CasebookStore::FolderChildren(RowId parentId) {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT ID, CAST(Name AS BLOB) FROM Folder WHERE ParentID=") + Num(parentId) +
              d_->live() + QStringLiteral(" ORDER BY ID")))
    Fail(q.lastError());
  QList<FolderRow> rows;
  while (q.next()) rows.append(FolderRow{q.value(0).toLongLong(), TextColumn(q.value(1))});
  if (q.lastError().isValid()) Fail(q.lastError());
  return rows;
}

int CasebookStore::FolderRecordCount(RowId id) {
  d_->requireOpen();
  return d_->scalar(QStringLiteral("SELECT COUNT(*) FROM Omenry WHERE FL=") + Num(id) + d_->live()).toInt();
}

bool CasebookStore::FolderIsLive(RowId id) {
  d_->requireOpen();
  if (id == 0) return true;
  return d_->scalar(QStringLiteral("SELECT COUNT(*) FROM Folder WHERE ID=") + Num(id) + d_->live()).toInt() > 0;
}

RowId CasebookStore::AddFolder(RowId parentId, const QString& name) {
  if (IsBlankName(name)) throw StoreError(kBlankName);
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral(
          "INSERT INTO Folder (ParentID, Name) VALUES (:ParentID, CAST(:Name AS TEXT))")))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":ParentID"), QVariant::fromValue<qint64>(parentId));
  q.bindValue(QStringLiteral(":Name"), TextParameter(CutToGbkBytes(StorableText(name), kFolderNameBytes)));
  if (!q.exec()) Fail(q.lastError());
  const RowId id = q.lastInsertId().toLongLong();
  q.finish();
  t.commit();
  wrote();
  return id;
}

std::optional<QString> CasebookStore::RenameFolder(RowId id, const QString& name) {
  if (IsBlankName(name)) throw StoreError(kBlankName);
  requireWritable();
  const QString stored = CutToGbkBytes(StorableText(name), kFolderNameBytes);
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral("UPDATE Folder SET Name=CAST(:Name AS TEXT) WHERE ID=") + Num(id) + d_->live()))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":Name"), TextParameter(stored));
  if (!q.exec()) Fail(q.lastError());
  const int changed = q.numRowsAffected();
  q.finish();
  t.commit();
  if (changed <= 0) return std::nullopt;
  wrote();
  return stored;
}

bool CasebookStore::DeleteFolder(RowId id) {
  requireWritable();
  Transaction t(d_->db());
  // A record of the folder deleted on its own within the same millisecond
  // must not pass for one deleted with the folder: the folder's mark is one
  // none of its records carries.
  QDateTime time = QDateTime::currentDateTime();
  QString mark = DeletionMark(time);
  while (d_->scalar(QStringLiteral("SELECT COUNT(*) FROM Omenry WHERE FL=") + Num(id) +
                    QStringLiteral(" AND DT='") + mark + QLatin1Char('\'')).toInt() > 0)
    mark = DeletionMark(time = time.addMSecs(1));
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral("UPDATE Folder SET DT=:DT WHERE ID=") + Num(id) + d_->live()))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":DT"), mark);
  if (!q.exec()) Fail(q.lastError());
  if (q.numRowsAffected() <= 0) return false;  // rolls back: nothing was changed
  q.finish();
  d_->list->close();
  if (!q.prepare(QStringLiteral("UPDATE Omenry SET DT=:DT WHERE FL=") + Num(id) + d_->live()))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":DT"), mark);
  if (!q.exec()) Fail(q.lastError());
  q.finish();
  t.commit();
  wrote();
  return true;
}

// ---- the recycle bin

namespace {

// Records in the bin that went there on their own, not with their folder.
const QString kAloneInBin = QStringLiteral(
    "DT IS NOT NULL AND NOT EXISTS (SELECT 1 FROM Folder F WHERE F.ID=Omenry.FL AND F.DT=Omenry.DT)");

}  // namespace

QList<CasebookStore::RecycledFolder> CasebookStore::RecycledFolders() {
  d_->requireOpen();
  QList<RecycledFolder> folders;
  if (!d_->hasBin) return folders;
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral(
          "SELECT F.ID, F.ParentID, CAST(F.Name AS BLOB), F.DT, "
          "(SELECT COUNT(*) FROM Omenry O WHERE O.FL=F.ID AND O.DT=F.DT) "
          "FROM Folder F WHERE F.DT IS NOT NULL ORDER BY F.DT DESC, F.ID DESC")))
    Fail(q.lastError());
  while (q.next()) {
    RecycledFolder f;
    f.id = q.value(0).toLongLong();
    f.parentId = q.value(1).toLongLong();
    f.name = TextColumn(q.value(2));
    f.deletedAt = QDateTime::fromString(q.value(3).toString(), Qt::ISODateWithMs);
    f.records = q.value(4).toInt();
    folders.append(f);
  }
  if (q.lastError().isValid()) Fail(q.lastError());
  return folders;
}

void CasebookStore::ListRecycledRecords() {
  if (!d_->hasBin) {
    openList(kListFields + QStringLiteral(" WHERE 0"));
    return;
  }
  openList(kListFields + QStringLiteral(" WHERE ") + kAloneInBin, {}, QStringLiteral("DT DESC, ID DESC"));
}

void CasebookStore::ListRecycledFolderRecords(RowId folderId) {
  if (!d_->hasBin) {
    openList(kListFields + QStringLiteral(" WHERE 0"));
    return;
  }
  openList(kListFields + QStringLiteral(" WHERE FL=") + Num(folderId) +
           QStringLiteral(" AND DT=(SELECT DT FROM Folder WHERE ID=") + Num(folderId) +
           QStringLiteral(" AND DT IS NOT NULL)"));
}

int CasebookStore::RecycleBinCount() {
  d_->requireOpen();
  if (!d_->hasBin) return 0;
  return d_->scalar(QStringLiteral("SELECT (SELECT COUNT(*) FROM Omenry WHERE ") + kAloneInBin +
                    QStringLiteral(") + (SELECT COUNT(*) FROM Folder WHERE DT IS NOT NULL)"))
      .toInt();
}

RowId CasebookStore::RecycledRecordFolder(RowId id) {
  d_->requireOpen();
  if (!d_->hasBin) return -1;
  const QVariant fl = d_->scalar(QStringLiteral("SELECT FL FROM Omenry WHERE DT IS NOT NULL AND ID=") + Num(id));
  return fl.isNull() ? -1 : fl.toLongLong();
}

RowId CasebookStore::RecycledFolderParent(RowId id) {
  d_->requireOpen();
  if (!d_->hasBin) return -1;
  const QVariant p = d_->scalar(QStringLiteral("SELECT ParentID FROM Folder WHERE DT IS NOT NULL AND ID=") + Num(id));
  return p.isNull() ? -1 : p.toLongLong();
}

bool CasebookStore::RestoreRecord(RowId id, RowId to) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  const RowId from = RecycledRecordFolder(id);
  if (from < 0) return false;
  const RowId target = to < 0 ? from : to;
  if (target <= 0 || !FolderIsLive(target))
    throw StoreError(QStringLiteral("记录原来所在的分类已经不在了，请选择一个分类来放这条记录。"));
  d_->exec(QStringLiteral("UPDATE Omenry SET DT=NULL, FL=") + Num(target) + QStringLiteral(" WHERE ID=") + Num(id));
  t.commit();
  wrote();
  return true;
}

bool CasebookStore::RestoreFolder(RowId id, RowId to) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  const RowId parent = RecycledFolderParent(id);
  if (parent < 0) return false;
  const RowId target = to < 0 ? parent : to;
  if (target < 0 || target == id || !FolderIsLive(target))
    throw StoreError(QStringLiteral("分类原来的上级分类已经不在了，请选择一个位置来放这个分类。"));
  d_->exec(QStringLiteral("UPDATE Omenry SET DT=NULL WHERE FL=") + Num(id) +
           QStringLiteral(" AND DT=(SELECT DT FROM Folder WHERE ID=") + Num(id) + QLatin1Char(')'));
  d_->exec(QStringLiteral("UPDATE Folder SET DT=NULL, ParentID=") + Num(target) + QStringLiteral(" WHERE ID=") +
           Num(id));
  t.commit();
  wrote();
  return true;
}

bool CasebookStore::PurgeRecord(RowId id) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q = d_->exec(QStringLiteral("DELETE FROM Omenry WHERE DT IS NOT NULL AND ID=") + Num(id));
  const bool found = q.numRowsAffected() > 0;
  q.finish();
  if (!found) return false;
  d_->exec(QStringLiteral("DELETE FROM OmenryCheck WHERE ID=") + Num(id));
  d_->exec(QStringLiteral("DELETE FROM OmenryCasts WHERE RecordID=") + Num(id));
  t.commit();
  wrote();
  return true;
}

bool CasebookStore::PurgeFolder(RowId id) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  const QString withIt = QStringLiteral("FL=") + Num(id) +
                         QStringLiteral(" AND DT=(SELECT DT FROM Folder WHERE DT IS NOT NULL AND ID=") + Num(id) +
                         QLatin1Char(')');
  d_->exec(QStringLiteral("DELETE FROM OmenryCheck WHERE ID IN (SELECT ID FROM Omenry WHERE ") + withIt +
           QLatin1Char(')'));
  d_->exec(QStringLiteral("DELETE FROM OmenryCasts WHERE RecordID IN (SELECT ID FROM Omenry WHERE ") + withIt +
           QLatin1Char(')'));
  d_->exec(QStringLiteral("DELETE FROM Omenry WHERE ") + withIt);
  QSqlQuery q = d_->exec(QStringLiteral("DELETE FROM Folder WHERE DT IS NOT NULL AND ID=") + Num(id));
  const bool found = q.numRowsAffected() > 0;
  q.finish();
  if (!found) return false;
  t.commit();
  wrote();
  return true;
}

int CasebookStore::EmptyRecycleBin() {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  d_->exec(QStringLiteral("DELETE FROM OmenryCheck WHERE ID IN (SELECT ID FROM Omenry WHERE DT IS NOT NULL)"));
  d_->exec(QStringLiteral("DELETE FROM OmenryCasts WHERE RecordID IN (SELECT ID FROM Omenry WHERE DT IS NOT NULL)"));
  QSqlQuery records = d_->exec(QStringLiteral("DELETE FROM Omenry WHERE DT IS NOT NULL"));
  const int n = records.numRowsAffected();
  records.finish();
  QSqlQuery folders = d_->exec(QStringLiteral("DELETE FROM Folder WHERE DT IS NOT NULL"));
  const int m = folders.numRowsAffected();
  folders.finish();
  t.commit();
  wrote();
  return n + m;
}
