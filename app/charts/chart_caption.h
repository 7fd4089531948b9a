#pragma once
// The caption line above every inserted chart: what was cast, for the charts
// that do not say it themselves (the 玄空 grid shows no period or mountain,
// the 八字 header no hour). Made from the request the chart was cast from:
//
//   八字 男 1984-02-04 12:00 阳历          (紫微 alike; 农历)
//   六爻 时间卦 2024-05-01 10时            (手动: lines by hand; 旬法: attached
//                                           by the day's xun; 10时30分)
//   奇门 飞盘 阴遁一局（指定） 2024-02-10 3时  (阳遁二局（自动）: the ju the
//                                           chart took by itself)
//   六壬 2024-02-10 午时 昼 甲戊庚牛羊 按孟仲季 (生年1980 男: a birth year)
//   玄空 八运 子山午向 挨星替卦
//
// A lunar date is written with its leap month marked, 2023-闰02-01, and the
// divinations' captions then end in 农历.

#include <QString>

#include "cast_request.h"

// The caption of a chart cast from `cast`. `chartJson` (the chart as JSON,
// may be empty) names the ju that an automatic Qimen chart took.
QString ChartCaption(const timefix::CastRequest& cast, const QString& chartJson = QString());

// The method's name in the chart JSON: "bazi", "ziwei", "liuyao", "qimen",
// "liuren", "xuankong".
QString MethodJsonName(int method);
