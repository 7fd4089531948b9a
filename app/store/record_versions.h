#pragma once
// A record as the automatic backups hold it: the version to offer when the
// record's checksum says the casebook's copy is damaged.

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

#include "store_types.h"

struct RecordVersion {
  QDateTime backupTime;  // when the backup that holds it was made
  QString backupPath;
  QString bt;
  QString qzr;
  QDate sj;
  bool fk = false;
  QString lr;
};

// The record `id` from the newest automatic backup of the casebook in
// dataDir that holds it sound: a backup's copy that its own checksum shows
// damaged is passed over. std::nullopt when no backup holds it.
std::optional<RecordVersion> NewestBackedUpVersion(const QString& dataDir, RowId id);
