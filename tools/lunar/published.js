// Compares the committed table with the lunar calendar as published, in the
// form carried by the widely used conversion tables (the npm package
// `solarlunar`, a devDependency: its year table for 1900-2100, the same
// values as the printed almanac tables). Per lunar year: the new-year day,
// the leap month and the month lengths. Prints every disagreement; exit
// status 1 when a year differs other than those listed in KNOWN below.
import solarLunar from 'solarlunar';
import { formatDate, jdnToDate } from './astro.js';
import { FIRST_YEAR, LAST_YEAR, readTable } from './table.js';

// Years where the table keeps its own reckoning (README.md explains each).
const KNOWN = new Map([
  [1933, 'new moon 1933-07-23 00:03:02 UTC+8: month 6 begins 07-23; the package begins it on 07-22'],
  [2050, 'the engine\'s own record: month 11 of 29 days, the year ends 2051-02-09'],
]);

function publishedRecord(year) {
  const leapMonth = solarLunar.leapMonth(year);
  const flags = [];
  for (let m = 1; m <= 12; m++) {
    flags.push(solarLunar.monthDays(year, m) === 30 ? 1 : 0);
    if (m === leapMonth) flags.push(solarLunar.leapDays(year) === 30 ? 1 : 0);
  }
  const ny = solarLunar.lunar2solar(year, 1, 1);
  return { newYear: formatDate({ year: ny.cYear, month: ny.cMonth, day: ny.cDay }), leapMonth, flags: flags.join('') };
}

const table = readTable();
let unexpected = 0;
let differ = 0;
for (const r of table) {
  const p = publishedRecord(r.year);
  const ours = `${formatDate(jdnToDate(r.newYearDay))} leap ${r.leapMonth} ${r.flags.slice(0, r.leapMonth ? 13 : 12).join('')}`;
  const theirs = `${p.newYear} leap ${p.leapMonth} ${p.flags}`;
  if (ours === theirs) continue;
  differ++;
  const known = KNOWN.get(r.year);
  if (!known) unexpected++;
  console.log(`${r.year}: table     ${ours}`);
  console.log(`      published ${theirs}${known ? `  (known: ${known})` : '  UNEXPECTED'}`);
}
console.log(`${differ} of ${LAST_YEAR - FIRST_YEAR + 1} lunar years differ from the published tables, ${unexpected} unexpectedly.`);
process.exit(unexpected ? 1 : 0);
