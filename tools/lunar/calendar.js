// The rules of the Chinese lunar calendar, applied to civil days of new moons
// and principal terms. Pure functions: no astronomy in here.
//
//  - The day of an event is reckoned in China Standard Time (UTC+8), except
//    for the events of 1912-1928, whose day is reckoned in Beijing local
//    mean time (UTC+7:45:40), as the almanacs of those years were computed
//    for the meridian of Beijing (see README.md).
//  - A month begins on the civil day of a new moon and lasts to the day
//    before the next one (29 or 30 days).
//  - The month that contains the winter solstice (冬至) is month 11.
//  - A sui runs from one month 11 to the next. When it holds 13 months, the
//    first month of it without a principal term (中气) is the leap month and
//    takes the number of the month before it.
//  - A principal term belongs to the month whose days include its civil day.
//  - The lunar year begins with month 1 (正月) and is named by the Gregorian
//    year in which that day falls.

/** Beijing local mean time, seconds ahead of UTC (longitude 116°25' E). */
export const BEIJING_LOCAL_SECONDS = 7 * 3600 + 45 * 60 + 40;
const UTC8_SECONDS = 8 * 3600;
export const BEIJING_TIME_FIRST_YEAR = 1912;
export const BEIJING_TIME_LAST_YEAR = 1928;

/**
 * Seconds by which the reckoning of the day lies behind UTC+8 for an event
 * whose civil day in UTC+8 falls in the given Gregorian year: 0 for UTC+8,
 * 860 (14m20s) for Beijing local mean time.
 */
export function reckoningLagSeconds(utc8Year) {
  return utc8Year >= BEIJING_TIME_FIRST_YEAR && utc8Year <= BEIJING_TIME_LAST_YEAR
    ? UTC8_SECONDS - BEIJING_LOCAL_SECONDS : 0;
}

/**
 * months: [{ start, length, number, leap }] for every month between the first
 * and the last winter solstice given.
 *
 * newMoonDays: ascending JDNs (civil days, UTC+8) of new moons.
 * principalTermDays: ascending JDNs of all principal terms over the range.
 * solsticeDays: ascending JDNs of the winter solstices.
 */
export function buildMonths(newMoonDays, principalTermDays, solsticeDays) {
  const monthIndexOf = (day) => {
    // The month containing the day: last new-moon day <= day.
    let lo = 0;
    let hi = newMoonDays.length - 1;
    if (day < newMoonDays[0] || day >= newMoonDays[hi]) {
      throw new Error(`day ${day} outside the new moons given`);
    }
    while (hi - lo > 1) {
      const mid = (lo + hi) >> 1;
      if (newMoonDays[mid] <= day) lo = mid; else hi = mid;
    }
    return lo;
  };
  const hasPrincipalTerm = (i) => {
    const a = newMoonDays[i];
    const b = newMoonDays[i + 1];
    return principalTermDays.some((d) => d >= a && d < b);
  };

  const months = [];
  for (let s = 0; s + 1 < solsticeDays.length; s++) {
    const i0 = monthIndexOf(solsticeDays[s]);
    const i1 = monthIndexOf(solsticeDays[s + 1]);
    const count = i1 - i0;
    if (count !== 12 && count !== 13) throw new Error(`sui with ${count} months`);
    let leapIndex = -1;
    if (count === 13) {
      for (let i = i0; i < i1; i++) {
        if (!hasPrincipalTerm(i)) { leapIndex = i; break; }
      }
      if (leapIndex < 0) throw new Error('13-month sui without a month lacking a principal term');
    }
    let number = 10;
    for (let i = i0; i < i1; i++) {
      const leap = i === leapIndex;
      if (!leap) number = (number % 12) + 1;
      months.push({
        start: newMoonDays[i],
        length: newMoonDays[i + 1] - newMoonDays[i],
        number,
        leap,
      });
    }
  }
  return months;
}

/**
 * Lunar-year records for the years first..last from the months, as
 * { year, newYearDay (JDN), newYearOffset, leapMonth, flags[13], days }.
 * jdnOfJan1(year) gives the JDN of 1 January.
 */
export function buildYears(months, first, last, jdnOfJan1, dateOfJdn) {
  const newYearIndices = [];
  months.forEach((m, i) => { if (m.number === 1 && !m.leap) newYearIndices.push(i); });
  const records = [];
  for (let year = first; year <= last; year++) {
    const idx = newYearIndices.find((i) => dateOfJdn(months[i].start).year === year);
    if (idx === undefined) throw new Error(`no new year in ${year}`);
    const nextIdx = newYearIndices[newYearIndices.indexOf(idx) + 1];
    if (nextIdx === undefined) throw new Error(`no new year after ${year}`);
    const ms = months.slice(idx, nextIdx);
    const flags = ms.map((m) => {
      if (m.length !== 29 && m.length !== 30) throw new Error(`month of ${m.length} days`);
      return m.length === 30 ? 1 : 0;
    });
    const leaps = ms.filter((m) => m.leap);
    if (ms.length !== 12 + leaps.length || leaps.length > 1) throw new Error(`year ${year}: bad month count`);
    while (flags.length < 13) flags.push(0);
    records.push({
      year,
      newYearDay: months[idx].start,
      newYearOffset: months[idx].start - jdnOfJan1(year),
      leapMonth: leaps.length ? leaps[0].number : 0,
      flags,
      days: ms.reduce((sum, m) => sum + m.length, 0),
      nextNewYearDay: months[nextIdx].start,
    });
  }
  return records;
}
