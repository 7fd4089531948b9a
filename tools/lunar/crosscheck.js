// Compares the committed table with ICU's Chinese calendar (Node's Intl) for
// every civil day 1901-01-01 .. 2051-12-31: per lunar year the new-year day,
// the leap month and the month lengths, and per day the lunar date.
// Prints every disagreement; exit status 0 whatever it finds (the decisions
// are recorded in README.md).
import { dateToJdn, formatDate, jdnToDate } from './astro.js';
import { FIRST_YEAR, LAST_YEAR, lunarOfDay, readTable } from './table.js';

const icu = new Intl.DateTimeFormat('en-u-ca-chinese', {
  timeZone: 'UTC', year: 'numeric', month: 'numeric', day: 'numeric',
});
const UNIX_EPOCH_JDN = dateToJdn(1970, 1, 1);

function icuLunar(jdn) {
  const parts = icu.formatToParts(new Date((jdn - UNIX_EPOCH_JDN) * 86400000));
  const get = (t) => parts.find((p) => p.type === t)?.value;
  const m = /^(\d+)(bis)?$/.exec(get('month'));
  if (!m) throw new Error(`unexpected ICU month ${get('month')}`);
  const month = Number(m[1]) * (m[2] ? -1 : 1);
  return { year: Number(get('relatedYear')), month, day: Number(get('day')) };
}

function icuYears(firstJdn, lastJdn) {
  // Months as runs of days from day 1 to the day before the next day 1.
  const months = [];
  for (let j = firstJdn; j <= lastJdn; j++) {
    const l = icuLunar(j);
    if (l.day === 1) months.push({ start: j, year: l.year, month: l.month });
  }
  for (let i = 0; i + 1 < months.length; i++) months[i].length = months[i + 1].start - months[i].start;
  const years = new Map();
  for (const m of months) {
    if (m.length === undefined) continue;
    if (!years.has(m.year)) years.set(m.year, { year: m.year, newYearDay: m.start, leapMonth: 0, flags: [] });
    const y = years.get(m.year);
    if (m.month < 0) y.leapMonth = -m.month;
    y.flags.push(m.length === 30 ? 1 : 0);
  }
  return years;
}

const fmt = (jdn) => formatDate(jdnToDate(jdn));
const flagString = (r) => r.flags.slice(0, r.leapMonth ? 13 : 12).join('');

function main() {
  const table = readTable();
  const first = dateToJdn(1901, 1, 1);
  const last = dateToJdn(2051, 12, 31);
  const years = icuYears(first, last);

  let yearDiffs = 0;
  console.log('Lunar years where the table and ICU disagree:');
  for (const r of table) {
    const y = years.get(r.year);
    const a = `${fmt(r.newYearDay)} leap ${r.leapMonth} ${flagString(r)}`;
    const b = y ? `${fmt(y.newYearDay)} leap ${y.leapMonth} ${y.flags.join('')}` : 'missing';
    if (a !== b) {
      yearDiffs++;
      console.log(`  ${r.year}: table ${a}`);
      console.log(`  ${' '.repeat(String(r.year).length)}  ICU   ${b}`);
    }
  }
  if (!yearDiffs) console.log('  none');

  // Day by day over the whole span the table answers for.
  const from = table[0].newYearDay;
  const end = table[table.length - 1].newYearDay + table[table.length - 1].days;
  let dayDiffs = 0;
  const byYear = new Map();
  for (let j = from; j < end; j++) {
    const t = lunarOfDay(table, j);
    const u = icuLunar(j);
    if (!t || t.year !== u.year || t.month !== u.month || t.day !== u.day) {
      dayDiffs++;
      const key = jdnToDate(j).year;
      if (!byYear.has(key)) byYear.set(key, []);
      byYear.get(key).push(`${fmt(j)} table ${t ? `${t.year}/${t.month}/${t.day}` : '-'} ICU ${u.year}/${u.month}/${u.day}`);
    }
  }
  console.log(`\nCivil days ${fmt(from)} .. ${fmt(end - 1)}: ${end - from} compared, ${dayDiffs} differ.`);
  for (const [year, list] of byYear) {
    console.log(`  ${year}: ${list.length} day(s), first ${list[0]}, last ${list[list.length - 1]}`);
  }
  console.log(`\n${yearDiffs} of ${LAST_YEAR - FIRST_YEAR + 1} lunar years differ from ICU ${process.versions.icu}.`);
}

main();
