// The casts kept with the records (table OmenryCasts): listing a record's
// casts, adding and deleting them. A cast row belongs to its record by
// RecordID; it goes when the record is deleted for good (the recycle bin's
// purges in casebook_folders.cpp) and stays while the record is in the bin.

#include "chart_cast.h"

#include "casebook_store.h"
#include "store_internal.h"

namespace store_detail {

namespace {

// The columns every cast row is written with, in the order of ChartCast's
// fields (ID aside).
const QString kCastColumns = QStringLiteral(
    "RecordID,Method,Request,Clock,Place,Longitude,Zone,Correction,Corrected,EngineVersion,"
    "ChartJson,ChartText,CastAt");

QString CastAtText(const QDateTime& at) {
  return at.isValid() ? at.toLocalTime().toString(Qt::ISODateWithMs) : QString();
}

}  // namespace

QList<RowId> InsertCasts(const QSqlDatabase& db, RowId record, const QList<ChartCast>& casts) {
  QList<RowId> ids;
  if (casts.isEmpty()) return ids;
  QSqlQuery q(db);
  if (!q.prepare(QStringLiteral("INSERT INTO OmenryCasts(") + kCastColumns +
                 QStringLiteral(") VALUES (:RecordID,CAST(:Method AS TEXT),CAST(:Request AS TEXT),"
                                "CAST(:Clock AS TEXT),CAST(:Place AS TEXT),:Longitude,CAST(:Zone AS TEXT),"
                                "CAST(:Correction AS TEXT),CAST(:Corrected AS TEXT),"
                                "CAST(:EngineVersion AS TEXT),CAST(:ChartJson AS TEXT),"
                                "CAST(:ChartText AS TEXT),CAST(:CastAt AS TEXT))")))
    Fail(q.lastError());
  for (const ChartCast& c : casts) {
    q.bindValue(QStringLiteral(":RecordID"), QVariant::fromValue<qint64>(record));
    q.bindValue(QStringLiteral(":Method"), TextParameter(c.method));
    q.bindValue(QStringLiteral(":Request"), TextParameter(c.request));
    q.bindValue(QStringLiteral(":Clock"), TextParameter(c.clock));
    q.bindValue(QStringLiteral(":Place"), TextParameter(c.place));
    q.bindValue(QStringLiteral(":Longitude"), c.longitude);
    q.bindValue(QStringLiteral(":Zone"), TextParameter(c.zone));
    q.bindValue(QStringLiteral(":Correction"), TextParameter(c.correction));
    q.bindValue(QStringLiteral(":Corrected"), TextParameter(c.corrected));
    q.bindValue(QStringLiteral(":EngineVersion"), TextParameter(c.engineVersion));
    q.bindValue(QStringLiteral(":ChartJson"), TextParameter(c.chartJson));
    q.bindValue(QStringLiteral(":ChartText"), TextParameter(c.chartText));
    q.bindValue(QStringLiteral(":CastAt"), TextParameter(CastAtText(c.castAt)));
    if (!q.exec()) Fail(q.lastError());
    ids << q.lastInsertId().toLongLong();
  }
  return ids;
}

}  // namespace store_detail

using namespace store_detail;

QList<ChartCast> CasebookStore::ListCasts(RowId record) {
  d_->requireOpen();
  QList<ChartCast> casts;
  if (!d_->hasCasts) return casts;  // a casebook made before them, only read
  QSqlQuery q(d_->db());
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral(
          "SELECT ID,RecordID,CAST(Method AS BLOB),CAST(Request AS BLOB),CAST(Clock AS BLOB),"
          "CAST(Place AS BLOB),Longitude,CAST(Zone AS BLOB),CAST(Correction AS BLOB),"
          "CAST(Corrected AS BLOB),CAST(EngineVersion AS BLOB),CAST(ChartJson AS BLOB),"
          "CAST(ChartText AS BLOB),CAST(CastAt AS BLOB) FROM OmenryCasts WHERE RecordID=") +
              Num(record) + QStringLiteral(" ORDER BY ID")))
    Fail(q.lastError());
  while (q.next()) {
    ChartCast c;
    c.id = q.value(0).toLongLong();
    c.record = q.value(1).toLongLong();
    c.method = TextColumn(q.value(2));
    c.request = TextColumn(q.value(3));
    c.clock = TextColumn(q.value(4));
    c.place = TextColumn(q.value(5));
    c.longitude = q.value(6).toDouble();
    c.zone = TextColumn(q.value(7));
    c.correction = TextColumn(q.value(8));
    c.corrected = TextColumn(q.value(9));
    c.engineVersion = TextColumn(q.value(10));
    c.chartJson = TextColumn(q.value(11));
    c.chartText = TextColumn(q.value(12));
    const QString at = TextColumn(q.value(13));
    if (!at.isEmpty()) c.castAt = QDateTime::fromString(at, Qt::ISODateWithMs);
    casts << c;
  }
  if (q.lastError().isValid()) Fail(q.lastError());
  return casts;
}

QList<RowId> CasebookStore::AddCasts(RowId record, const QList<ChartCast>& casts) {
  requireWritable();
  Transaction t(d_->db());
  if (d_->scalar(QStringLiteral("SELECT COUNT(*) FROM Omenry WHERE ID=") + Num(record) + d_->live()).toInt() == 0)
    throw StoreError(QStringLiteral("找不到这条记录（它可能已被删除），起盘记录没有保存。"));
  const QList<RowId> ids = InsertCasts(d_->db(), record, casts);
  t.commit();
  wrote();
  return ids;
}

bool CasebookStore::DeleteCast(RowId id) {
  requireWritable();
  Transaction t(d_->db());
  QSqlQuery q = d_->exec(QStringLiteral("DELETE FROM OmenryCasts WHERE ID=") + Num(id));
  const bool found = q.numRowsAffected() > 0;
  q.finish();
  if (!found) return false;
  t.commit();
  wrote();
  return true;
}
