// Reads the committed table engine/calendar/lunar_year_data.inc back into
// records, and converts civil days by the same table walk as the engine.
import { readFileSync } from 'node:fs';
import { dirname, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { dateToJdn, jdnToDate } from './astro.js';

const here = dirname(fileURLToPath(import.meta.url));
export const INC_PATH = resolve(here, '../../engine/calendar/lunar_year_data.inc');
export const FIRST_YEAR = 1901;
export const LAST_YEAR = 2050;

/** [{ year, newYearOffset, leapMonth, flags[13], newYearDay, days }] */
export function readTable(path = INC_PATH) {
  const text = readFileSync(path, 'utf8');
  const re = /^\{(-?\d+), (\d+), \{([01](?:,[01]){12})\}\},\s*\/\/ (\d{4})-(\d{2})-(\d{2})$/;
  const records = [];
  for (const line of text.split('\n')) {
    if (!line.startsWith('{')) continue;
    const m = re.exec(line);
    if (!m) throw new Error(`unexpected line: ${line}`);
    const year = FIRST_YEAR + records.length;
    const newYearOffset = Number(m[1]);
    const leapMonth = Number(m[2]);
    const flags = m[3].split(',').map(Number);
    const newYearDay = dateToJdn(year, 1, 1) + newYearOffset;
    const d = jdnToDate(newYearDay);
    if (d.year !== Number(m[4]) || d.month !== Number(m[5]) || d.day !== Number(m[6])) {
      throw new Error(`${year}: comment date does not match the offset`);
    }
    const n = leapMonth ? 13 : 12;
    const days = flags.slice(0, n).reduce((a, f) => a + 29 + f, 0);
    records.push({ year, newYearOffset, leapMonth, flags, newYearDay, days });
  }
  if (records.length !== LAST_YEAR - FIRST_YEAR + 1) throw new Error(`${records.length} records`);
  return records;
}

/**
 * Lunar date { year, month, day } (month negative for a leap month) of a
 * civil day (JDN), or null outside the table.
 */
export function lunarOfDay(records, jdn) {
  let r = null;
  for (let i = records.length - 1; i >= 0; i--) {
    if (records[i].newYearDay <= jdn) { r = records[i]; break; }
  }
  if (!r || jdn >= r.newYearDay + r.days) return null;
  let start = r.newYearDay;
  const n = r.leapMonth ? 13 : 12;
  for (let k = 0; k < n; k++) {
    const len = 29 + r.flags[k];
    if (jdn < start + len) {
      let month = k + 1;
      if (r.leapMonth && k >= r.leapMonth) month = k === r.leapMonth ? -r.leapMonth : k;
      return { year: r.year, month, day: jdn - start + 1 };
    }
    start += len;
  }
  return null;
}
