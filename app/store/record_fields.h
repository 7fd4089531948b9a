#pragma once
// A record's own fields, the ones its user writes: what the casebook
// exchange writes out and reads back (casebook_exchange.h).

#include <QDate>
#include <QString>

struct RecordFields {
  QString title;          // BT
  QString querent;        // QZR
  QDate date;             // SJ; invalid when the record has none
  bool feedback = false;  // FK
  QString text;           // LR, lines ended by CR LF

  friend bool operator==(const RecordFields&, const RecordFields&) = default;
};
