// The records of the casebook (table Omenry): the listing of a folder, a
// record's text, and inserting, updating and deleting records.

#include <QDateTime>

#include "casebook_store.h"
#include "store_internal.h"

namespace store_detail {

QVariant DateValue(const QVariant& v) {
  if (v.isNull()) return QVariant();
  if (v.metaType().id() == QMetaType::QDate) return v;
  const QString s = v.toString().trimmed();
  if (s.isEmpty()) return QVariant();
  // Only the calendar day is stored; a time part, if any, is ignored.
  const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
  return d.isValid() ? QVariant(d) : QVariant();
}

QVariant BoolValue(const QVariant& v) {
  if (v.isNull()) return QVariant();
  return QVariant(v.toLongLong() != 0);
}

}  // namespace store_detail

using namespace store_detail;

// ---- a folder's listing and a record's text

void CasebookStore::openList(const QString& base, const QList<SearchBinding>& bindings,
                             const QString& newest) {
  d_->listSearch.reset();  // search() sets it again after its listing
  d_->listText = base;
  d_->listBindings = bindings;
  d_->listNewest = newest;
  const QString text = base + orderBy(newest);
  try {
    d_->requireOpen();
    auto data = std::make_unique<RecordList::Data>();
    QSqlQuery q(d_->db());
    q.setForwardOnly(true);
    if (bindings.isEmpty()) {
      if (!q.exec(text)) Fail(q.lastError());
    } else {
      if (!q.prepare(text)) Fail(q.lastError());
      for (const SearchBinding& b : bindings) q.bindValue(b.first, b.second);
      if (!q.exec()) Fail(q.lastError());
    }
    while (q.next()) {
      ListRow r;
      r.id = q.value(0).toLongLong();
      r.bt = TextColumn(q.value(1));
      r.qzr = TextColumn(q.value(2));
      r.sj = DateValue(q.value(3));
      r.fl = q.value(4).toLongLong();
      r.fk = BoolValue(q.value(5));
      r.folderName = TextColumn(q.value(6));
      if (r.folderName.isNull()) r.folderName = QString(QLatin1String(""));
      data->rows.push_back(std::move(r));
    }
    if (q.lastError().isValid()) Fail(q.lastError());
    d_->list->open(std::move(data));
  } catch (...) {
    d_->list->close();
    throw;
  }
}

void CasebookStore::ListFolderRecords(RowId folderId) {
  openList(kListFields + QStringLiteral(" WHERE FL=") + Num(folderId) + d_->live());
}
RecordList* CasebookStore::records() noexcept { return d_->list; }

QVariant CasebookStore::readText(RowId id, RecordIntegrity* integrity) const {
  d_->requireOpen();
  if (integrity) *integrity = RecordIntegrity::Unchecked;
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  // The stored bytes of every field the checksum covers, and the checksum.
  const QString text =
      d_->hasChecks
          ? QStringLiteral("SELECT CAST(O.LR AS BLOB), CAST(O.BT AS BLOB), CAST(O.QZR AS BLOB), "
                           "CAST(O.SJ AS BLOB), CAST(O.FK AS BLOB), C.CK FROM Omenry O "
                           "LEFT JOIN OmenryCheck C ON C.ID=O.ID WHERE O.ID=") + Num(id)
          : QStringLiteral("SELECT CAST(LR AS BLOB) FROM Omenry WHERE ID=") + Num(id);
  if (!q.exec(text)) Fail(q.lastError());
  if (!q.next()) {
    if (q.lastError().isValid()) Fail(q.lastError());
    return QVariant();
  }
  const QVariant value = q.value(0);
  if (d_->hasChecks && integrity && !q.value(5).isNull()) {
    const QByteArray sum = RecordChecksum(Bytes(q.value(1)), Bytes(q.value(2)), Bytes(q.value(3)),
                                          Bytes(q.value(4)), Bytes(value));
    *integrity = sum == q.value(5).toByteArray() ? RecordIntegrity::Sound : RecordIntegrity::Damaged;
  }
  return value.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(TextColumn(value));
}

RecordIntegrity CasebookStore::CheckRecord(RowId id) {
  RecordIntegrity integrity = RecordIntegrity::Unchecked;
  readText(id, &integrity);
  return integrity;
}

// ---- records

namespace {

// The fields an insert and an update both write; title and querent cut at
// their byte sizes as a last resort.
void BindRecordFields(QSqlQuery& q, const RecordFields& f) {
  q.bindValue(QStringLiteral(":BT"), TextParameter(CutToGbkBytes(StorableText(f.title), kTitleBytes)));
  q.bindValue(QStringLiteral(":QZR"), TextParameter(CutToGbkBytes(StorableText(f.querent), kQuerentBytes)));
  q.bindValue(QStringLiteral(":FK"), f.feedback ? 1 : 0);
  q.bindValue(QStringLiteral(":LR"), TextParameter(f.text.isNull() ? QString(QLatin1String("")) : f.text));
  q.bindValue(QStringLiteral(":SJ"), f.date.isValid() ? QVariant(f.date.toString(Qt::ISODate))
                                                      : QVariant(QMetaType(QMetaType::QString)));
}

// Writes the record's checksum from its fields as stored (within the
// caller's transaction).
void StoreChecksum(QSqlDatabase db, RowId id) {
  QSqlQuery q(db);
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("SELECT CAST(BT AS BLOB), CAST(QZR AS BLOB), CAST(SJ AS BLOB), "
                             "CAST(FK AS BLOB), CAST(LR AS BLOB) FROM Omenry WHERE ID=") + Num(id)))
    Fail(q.lastError());
  if (!q.next()) {
    if (q.lastError().isValid()) Fail(q.lastError());
    return;
  }
  const QByteArray sum = RecordChecksum(Bytes(q.value(0)), Bytes(q.value(1)), Bytes(q.value(2)),
                                        Bytes(q.value(3)), Bytes(q.value(4)));
  q.finish();
  QSqlQuery put(db);
  if (!put.prepare(QStringLiteral("INSERT OR REPLACE INTO OmenryCheck(ID, CK) VALUES (:ID, :CK)")))
    Fail(put.lastError());
  put.bindValue(QStringLiteral(":ID"), QVariant::fromValue<qint64>(id));
  put.bindValue(QStringLiteral(":CK"), sum);
  if (!put.exec()) Fail(put.lastError());
}

}  // namespace

RowId CasebookStore::InsertRecord(RowId fl, const RecordFields& fields, const QList<ChartCast>& casts) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral(
          "Insert into Omenry (BT,QZR,FK,LR,SJ,FL) VALUES (CAST(:BT AS TEXT),CAST(:QZR AS TEXT),"
          ":FK,CAST(:LR AS TEXT),:SJ,:FL)")))
    Fail(q.lastError());
  BindRecordFields(q, fields);
  q.bindValue(QStringLiteral(":FL"), QVariant::fromValue<qint64>(fl));
  if (!q.exec()) Fail(q.lastError());
  const RowId id = q.lastInsertId().toLongLong();
  q.finish();
  StoreChecksum(d_->db(), id);
  InsertCasts(d_->db(), id, casts);
  t.commit();
  wrote();
  return id;
}

bool CasebookStore::UpdateRecord(RowId id, const RecordFields& fields, const QList<ChartCast>& casts) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  if (!q.prepare(QStringLiteral(
          "Update Omenry set BT=CAST(:BT AS TEXT),QZR=CAST(:QZR AS TEXT),FK=:FK,"
          "LR=CAST(:LR AS TEXT),SJ=:SJ where (ID=:ID)") + d_->live()))
    Fail(q.lastError());
  BindRecordFields(q, fields);
  q.bindValue(QStringLiteral(":ID"), QVariant::fromValue<qint64>(id));
  if (!q.exec()) Fail(q.lastError());
  const bool found = q.numRowsAffected() > 0;
  q.finish();
  if (!found) return false;  // rolls back: nothing was changed
  StoreChecksum(d_->db(), id);
  InsertCasts(d_->db(), id, casts);
  t.commit();
  wrote();
  return true;
}

void CasebookStore::DeleteRecord(RowId id) {
  d_->list->close();
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q(d_->db());
  // To the recycle bin: the record is kept, marked with the time.
  if (!q.prepare(QStringLiteral("UPDATE Omenry SET DT=:DT WHERE ID=") + Num(id) + d_->live()))
    Fail(q.lastError());
  q.bindValue(QStringLiteral(":DT"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
  if (!q.exec()) Fail(q.lastError());
  const bool found = q.numRowsAffected() > 0;
  q.finish();
  if (!found) return;
  t.commit();
  wrote();
}
