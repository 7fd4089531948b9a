#include "chart_caption.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "chart_dialogs.h"

namespace {

QString TwoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// 1984-02-04; a lunar date 2023-闰02-01 (the leap month marked).
QString Date(const OrvChartRequest& r) {
  return QStringLiteral("%1-%2%3-%4")
      .arg(r.year)
      .arg(!r.solar && r.leap ? QStringLiteral("闰") : QString())
      .arg(TwoDigits(r.month))
      .arg(TwoDigits(r.day));
}


// A divination's caption says 农历 at its end when its date is lunar.
QStringList Lunar(QStringList parts, const OrvChartRequest& r) {
  if (!r.solar) parts << QStringLiteral("农历");
  return parts;
}

// 10时, 10时30分.
QString DivinationHour(const OrvChartRequest& r) {
  QString hour = QStringLiteral("%1时").arg(r.hour);
  if (r.minute != 0) hour += QStringLiteral("%1分").arg(r.minute);
  return hour;
}

// The branch of an hour: 23:00–0:59 子 … 11:00–12:59 午.
int BranchOfHour(int hour) { return ((hour + 1) / 2) % 12; }

QString Sex(const OrvChartRequest& r) {
  return r.male ? QStringLiteral("男") : QStringLiteral("女");
}

QString Natal(const char* name, const OrvChartRequest& r) {
  const QString calendar = r.solar ? QStringLiteral("阳历") : QStringLiteral("农历");
  return QStringLiteral("%1 %2 %3 %4:%5 %6")
      .arg(QString::fromUtf8(name), Sex(r), Date(r), TwoDigits(r.hour), TwoDigits(r.minute),
           calendar);
}

QString Liuyao(const OrvChartRequest& r, bool xun) {
  QStringList parts = {QStringLiteral("六爻"),
                       r.manualLines ? QStringLiteral("手动") : QStringLiteral("时间卦")};
  if (xun) parts << QStringLiteral("旬法");
  parts << Date(r) << DivinationHour(r);
  return Lunar(parts, r).join(QLatin1Char(' '));
}

// 阳遁一局 … 阴遁九局 from the request's ju 1–18; for 0 (automatic) the ju
// the chart took, by its JSON.
QString QimenJu(const OrvChartRequest& r, const QString& chartJson) {
  if (r.ju >= 1 && r.ju <= 18)
    return (r.ju <= 9 ? QStringLiteral("阳遁") : QStringLiteral("阴遁")) +
           ChineseNumber(r.ju <= 9 ? r.ju : r.ju - 9) + QStringLiteral("局（指定）");
  const QJsonObject chart = QJsonDocument::fromJson(chartJson.toUtf8())
                                .object()
                                .value(QStringLiteral("chart"))
                                .toObject();
  const QString dun = chart.value(QStringLiteral("dun")).toString();
  const int ju = chart.value(QStringLiteral("ju")).toInt();
  if (dun.isEmpty() || ju < 1 || ju > 9) return QStringLiteral("自动定局");
  return dun + ChineseNumber(ju) + QStringLiteral("局（自动）");
}

QString Qimen(const OrvChartRequest& r, const QString& chartJson) {
  return Lunar({QStringLiteral("奇门"), r.flying ? QStringLiteral("飞盘") : QStringLiteral("转盘"),
                QimenJu(r, chartJson), Date(r), DivinationHour(r)},
               r)
      .join(QLatin1Char(' '));
}

QString Liuren(const OrvChartRequest& r) {
  const int branch = BranchOfHour(r.hour);
  // daytime 2: by the hour, 卯 to 申 by day.
  const bool day = r.daytime == 2 ? timefix::IsDaytimeHour(r.hour) : r.daytime != 0;
  QStringList parts = {QStringLiteral("六壬"), Date(r),
                       Branches().value(branch) + QStringLiteral("时"),
                       day ? QStringLiteral("昼") : QStringLiteral("夜"),
                       r.guiRen ? QStringLiteral("甲戊庚牛羊") : QStringLiteral("甲羊戊庚牛"),
                       r.sheHai ? QStringLiteral("按孟仲季") : QStringLiteral("按涉害深浅")};
  if (r.birthYear > 0) parts << QStringLiteral("生年%1").arg(r.birthYear) << Sex(r);
  return Lunar(parts, r).join(QLatin1Char(' '));
}

QString Xuankong(const OrvChartRequest& r) {
  return QStringList{QStringLiteral("玄空"), XuankongPeriod(r.period),
                     XuankongMountains().value(r.mountain), XuankongKind(r.xiagua != 0)}
      .join(QLatin1Char(' '));
}

}  // namespace

QString ChartCaption(const timefix::CastRequest& cast, const QString& chartJson) {
  const OrvChartRequest& r = cast.request;
  switch (r.method) {
    case ORV_METHOD_BAZI: return Natal("八字", r);
    case ORV_METHOD_ZIWEI: return Natal("紫微", r);
    case ORV_METHOD_LIUYAO: return Liuyao(r, false);
    case ORV_METHOD_LIUYAO_XUN: return Liuyao(r, true);
    case ORV_METHOD_QIMEN: return Qimen(r, chartJson);
    case ORV_METHOD_LIUREN: return Liuren(r);
    case ORV_METHOD_XUANKONG: return Xuankong(r);
    default: return QString();
  }
}

QString MethodJsonName(int method) {
  switch (method) {
    case ORV_METHOD_BAZI: return QStringLiteral("bazi");
    case ORV_METHOD_ZIWEI: return QStringLiteral("ziwei");
    case ORV_METHOD_LIUYAO:
    case ORV_METHOD_LIUYAO_XUN: return QStringLiteral("liuyao");
    case ORV_METHOD_QIMEN: return QStringLiteral("qimen");
    case ORV_METHOD_LIUREN: return QStringLiteral("liuren");
    case ORV_METHOD_XUANKONG: return QStringLiteral("xuankong");
    default: return QString();
  }
}
