#pragma once
// A chart cast while editing a record, kept beside the record's text (table
// OmenryCasts): what was asked, how the moment was corrected, and what the
// engine gave, so that the cast can be cast again and compared.

#include <QDateTime>
#include <QString>

#include "store_types.h"

struct ChartCast {
  RowId id = 0;          // 0 until stored
  RowId record = 0;      // the record it belongs to (0 while the record is new)
  QString method;        // the JSON method name: "bazi", "ziwei", "liuyao", "qimen", "liuren", "xuankong"
  QString request;       // the engine request as JSON (timefix::RequestToJson)
  QString clock;         // the clock time as given: "1988-07-15 14:30"; empty for 玄空
  QString place;         // the place's name, empty when none or typed by hand
  double longitude = 0;  // degrees east; meaningful when correction is not 不校正
  QString zone;          // tz zone: "Asia/Shanghai"
  QString correction;    // "不校正", "平太阳时" or "真太阳时"
  QString corrected;     // the moment cast: "1988-07-15 11:14:32"
  QString engineVersion; // the engine's version (from the chart JSON)
  QString chartJson;     // the chart as JSON (UTF-8)
  QString chartText;     // the chart text as the export gave it (Unicode, CR LF)
  QDateTime castAt;      // when it was cast (local time)
};
