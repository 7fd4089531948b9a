// The folders of the casebook (table Folder).

#include "casebook_store.h"
#include "store_internal.h"

using namespace store_detail;

QList<FolderRow> CasebookStore::FolderChildren(RowId parentId) {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT ID, CAST(Name AS BLOB) FROM Folder WHERE ParentID=") + Num(parentId) +
              QStringLiteral(" ORDER BY ID")))
    Fail(q.lastError());
  QList<FolderRow> rows;
  while (q.next()) rows.append(FolderRow{q.value(0).toLongLong(), TextColumn(q.value(1))});
  if (q.lastError().isValid()) Fail(q.lastError());
  return rows;
}

int CasebookStore::FolderRecordCount(RowId id) {
  d_->requireOpen();
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM Omenry WHERE FL=") + Num(id)) || !q.next())
    Fail(q.lastError());
  return q.value(0).toInt();
}

RowId CasebookStore::AddFolder(RowId parentId, const QString& name) {
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
  return id;
}

std::optional<QString> CasebookStore::RenameFolder(RowId id, const QString& name) {
  requireWritable();
  const QString stored = CutToGbkBytes(StorableText(name), kFolderNameBytes);
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral("UPDATE Folder SET Name=CAST(:Name AS TEXT) WHERE ID=") + Num(id)))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":Name"), TextParameter(stored));
  if (!q.exec()) Fail(q.lastError());
  const int changed = q.numRowsAffected();
  q.finish();
  t.commit();
  if (changed <= 0) return std::nullopt;
  return stored;
}

bool CasebookStore::DeleteFolder(RowId id) {
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.exec(QStringLiteral("DELETE FROM Folder WHERE ID=") + Num(id))) Fail(q.lastError());
  if (q.numRowsAffected() <= 0) return false;  // rolls back: nothing was changed
  q.finish();
  d_->list->close();
  if (!q.exec(QStringLiteral("DELETE FROM Omenry WHERE FL=") + Num(id))) Fail(q.lastError());
  q.finish();
  t.commit();
  return true;
}
