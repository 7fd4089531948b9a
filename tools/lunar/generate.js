// Generates engine/calendar/lunar_year_data.inc (the lunar-year records
// 1901-2050) and events-report.txt (the new moons and principal terms close
// to midnight of the day's reckoning) from astronomy. Deterministic: re-running it rewrites
// both files byte for byte.
//
//   node generate.js            write both files
//   node generate.js --check    compare with the files on disk, exit 1 if they differ
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import * as A from './astro.js';
import {
  BEIJING_TIME_FIRST_YEAR, BEIJING_TIME_LAST_YEAR, buildMonths, buildYears, reckoningLagSeconds,
} from './calendar.js';

const here = dirname(fileURLToPath(import.meta.url));
const INC_PATH = resolve(here, '../../engine/calendar/lunar_year_data.inc');
const REPORT_PATH = resolve(here, 'events-report.txt');

const FIRST_YEAR = 1901;
const LAST_YEAR = 2050;
const FRAGILE_SECONDS = 600;           // report events this close to midnight
const WIDE_SECONDS = 3600;             // ... and those this close that matter
const REPORT_FROM = A.dateToJdn(1900, 1, 1);
const REPORT_TO = A.dateToJdn(2051, 12, 31);

// Records fixed by the engine's own data: the table must hold them exactly.
const ENGINE_RECORDS = [
  [1901, '1901-02-19', 0, '010010101110'],
  [1903, '1903-01-29', 5, '0101001001101'],
  [1984, '1984-02-02', 10, '1011001001011'],
  [2023, '2023-01-22', 2, '0100110110101'],
  [2033, '2033-01-31', 11, '0100101011101'],
  [2050, '2050-01-23', 3, '0101010110100'],
];

// Where the engine's own data departs from the astronomical calendar. The
// record of 2050 ends its year with two 29-day months (month 11 from
// 2050-12-14, month 12 from 2051-01-12), so that its last day is 2051-02-09;
// astronomically month 11 has 30 days (new moon 2051-01-13 02:58 UTC+8) and
// the year ends on 2051-02-10. Both agree on every day up to 2051-01-11, that
// is on all of the civil years the engine serves; the engine keeps its own
// record.
const PINNED = [
  { year: 2050, flags: '0101010110100' },
];

// The published calendar of the years whose day is reckoned in Beijing local
// mean time (calendar.js) differs from a reckoning in UTC+8 in these four
// records; the table must hold them exactly as published.
const PUBLISHED_RECORDS = [
  [1914, '1914-01-26', 5, '1101010100101'],
  [1915, '1915-02-14', 0, '101101010100'],
  [1916, '1916-02-03', 0, '110101101010'],
  [1920, '1920-02-20', 0, '010010010111'],
];

const jan1 = (y) => A.dateToJdn(y, 1, 1);

/**
 * The civil day (JDN) of an event in the reckoning of its time, the seconds
 * from that day's midnight, and the lag of the reckoning behind UTC+8.
 */
function eventDay(jde, reckoning = reckoningLagSeconds) {
  const lagSeconds = reckoning(A.jdnToDate(A.civilDayUTC8(jde).jdn).year);
  return { ...A.civilDayUTC8(jde, lagSeconds), lagSeconds };
}

/** "YYYY-MM-DD hh:mm:ss" of an event in UTC+8, and in its reckoning when that differs. */
function formatEvent(ev) {
  const utc8 = A.formatUTC8(ev.jde);
  if (!ev.lagSeconds) return utc8;
  return `${utc8} (Beijing local ${A.formatUTC8(ev.jde - ev.lagSeconds / 86400).slice(11)})`;
}

// ---- events --------------------------------------------------------------

function computeNewMoons() {
  // From November 1899 to March 2052.
  const kFirst = Math.floor((1899.83 - 2000) * 12.3685);
  const kLast = Math.ceil((2052.2 - 2000) * 12.3685);
  const list = [];
  for (let k = kFirst; k <= kLast; k++) {
    const nm = A.newMoon(k);
    list.push({ kind: 'new moon', k, ...nm, ...eventDay(nm.jde) });
  }
  return list;
}

const PRINCIPAL_TERM_NAMES = {
  0: '春分', 30: '谷雨', 60: '小满', 90: '夏至', 120: '大暑', 150: '处暑',
  180: '秋分', 210: '霜降', 240: '小雪', 270: '冬至', 300: '大寒', 330: '雨水',
};

function computePrincipalTerms() {
  // Sun at 30n degrees, from the winter solstice 1899 to the one of 2051
  // and on to February 2052. n = 0 is the March equinox of 2000.
  const equinox2000 = 2451623.8;
  const tropicalYear = 365.2422;
  const list = [];
  for (let n = -100 * 12 - 3; n <= 52 * 12 - 1; n++) {
    const lon = ((n % 12) + 12) % 12 * 30;
    const guess = equinox2000 + (n * tropicalYear) / 12;
    const jde = A.solarLongitudeTime(lon, guess);
    list.push({ kind: 'principal term', lon, name: PRINCIPAL_TERM_NAMES[lon], jde, ...eventDay(jde) });
  }
  return list;
}

// ---- calendar ------------------------------------------------------------

function calendarFrom(newMoonDays, terms) {
  const termDays = terms.map((t) => t.jdn);
  const solstices = terms.filter((t) => t.lon === 270).map((t) => t.jdn);
  const months = buildMonths(newMoonDays, termDays, solstices);
  return buildYears(months, FIRST_YEAR, LAST_YEAR, jan1, A.jdnToDate);
}

const flagString = (r) => r.flags.slice(0, r.leapMonth ? 13 : 12).join('');
const recordKey = (r) => `${r.newYearOffset}/${r.leapMonth}/${r.flags.join('')}`;

function describe(r) {
  return `${r.year}: new year ${A.formatDate(A.jdnToDate(r.newYearDay))}, leap ${r.leapMonth}, ${flagString(r)}`;
}

// ---- output --------------------------------------------------------------

function incText(records) {
  const lines = [
    '// Lunar-year records 1901-2050, one per line: new-year offset from',
    '// 1 January, leap month (0 = none), month lengths in running order',
    '// (1 = 30 days, 0 = 29). Generated by tools/lunar/generate.js from',
    '// astronomy (the day in UTC+8; in Beijing local mean time for 1912-1928);',
    '// do not edit by hand.',
  ];
  for (const r of records) {
    const body = `{${r.newYearOffset}, ${r.leapMonth}, {${r.flags.join(',')}}},`;
    lines.push(`${body.padEnd(46)}// ${A.formatDate(A.jdnToDate(r.newYearDay))}`);
  }
  return lines.join('\n') + '\n';
}

function hms(seconds) {
  const s = Math.round(seconds);
  const sign = s < 0 ? '-' : '+';
  const a = Math.abs(s);
  return `${sign}${Math.floor(a / 60)}m${String(a % 60).padStart(2, '0')}s`;
}

function reportText(newMoons, terms, records, pinnedRecords, utc8Records) {
  const out = [];
  out.push('Astronomical events near midnight, 1900-2051. The day is reckoned in China');
  out.push(`Standard Time (UTC+8), for ${BEIJING_TIME_FIRST_YEAR}-${BEIJING_TIME_LAST_YEAR} in Beijing local mean time (UTC+7:45:40).`);
  out.push('');
  out.push('Sun: VSOP87D + FK5 + nutation + aberration. Moon: ELP/MPP02 (DE405, full');
  out.push('series) + nutation + light time. Delta-T: astronomia (IERS values, IERS');
  out.push('predictions to 2032, Espenak-Meeus polynomial after).');
  out.push(`Listed: every new moon and principal term within ${FRAGILE_SECONDS / 60} minutes of midnight.`);
  out.push('"margin" is the time from the nearer midnight (+ after, - before).');
  out.push('"effect" is what changes in the table if the event fell on the other');
  out.push('side of that midnight.');
  out.push('');

  const newMoonDays = newMoons.map((m) => m.jdn);
  const base = new Map(records.map((r) => [r.year, recordKey(r)]));
  const effectOf = (mutate) => {
    const nm = newMoonDays.slice();
    const ts = terms.map((t) => ({ ...t }));
    mutate(nm, ts);
    let alt;
    try {
      alt = calendarFrom(nm, ts);
    } catch (e) {
      return `calendar breaks (${e.message})`;
    }
    const changed = alt.filter((r) => base.get(r.year) !== recordKey(r));
    if (!changed.length) return 'none';
    return changed.map((r) => `would be ${describe(r)}`).join('; ');
  };

  function describeEvent(ev, index, margin) {
    const lines = [];
    const shift = margin >= 0 ? -1 : 1;
    const label = ev.kind === 'new moon' ? 'new moon' : `${ev.name} ${ev.lon}°`;
    lines.push(`${formatEvent(ev)}  ${label.padEnd(14)} margin ${hms(margin)}  ` +
      `(Delta-T ${A.deltaTSeconds(ev.jde).toFixed(1)} s)`);
    if (ev.kind === 'new moon') {
      const other = (jde) => eventDay(jde).jdn === ev.jdn ? 'same day' : 'other day';
      lines.push(`    Meeus new-moon series ${hms((ev.jdeMeeusPhase - ev.jde) * 86400)} (${other(ev.jdeMeeusPhase)}), ` +
        `Meeus moon position ${hms((ev.jdeMeeusPosition - ev.jde) * 86400)} (${other(ev.jdeMeeusPosition)})`);
      lines.push(`    effect: ${effectOf((nm) => { nm[index] += shift; })}`);
    } else {
      lines.push(`    effect: ${effectOf((nm, ts) => { ts[index].jdn += shift; })}`);
    }
    return lines;
  }

  const events = [];
  newMoons.forEach((m, i) => events.push({ ev: m, index: i }));
  terms.forEach((t, i) => events.push({ ev: t, index: i }));
  events.sort((a, b) => a.ev.jde - b.ev.jde);
  for (const { ev, index } of events) {
    if (ev.jdn < REPORT_FROM || ev.jdn > REPORT_TO) continue;
    const s = ev.secondsAfterMidnight;
    const margin = s < 43200 ? s : s - 86400;
    if (Math.abs(margin) > FRAGILE_SECONDS) continue;
    out.push(...describeEvent(ev, index, margin));
  }

  out.push('');
  out.push(`Principal terms ${FRAGILE_SECONDS / 60} to ${WIDE_SECONDS / 60} minutes from midnight whose day decides an entry`);
  out.push('of the table (the day of every new moon always does):');
  for (const { ev, index } of events) {
    if (ev.kind === 'new moon' || ev.jdn < REPORT_FROM || ev.jdn > REPORT_TO) continue;
    const s = ev.secondsAfterMidnight;
    const margin = s < 43200 ? s : s - 86400;
    if (Math.abs(margin) <= FRAGILE_SECONDS || Math.abs(margin) > WIDE_SECONDS) continue;
    const lines = describeEvent(ev, index, margin);
    if (!lines[lines.length - 1].endsWith('effect: none')) out.push(...lines);
  }

  out.push('');
  out.push(`Records that the reckoning of ${BEIJING_TIME_FIRST_YEAR}-${BEIJING_TIME_LAST_YEAR} in Beijing local mean time changes`);
  out.push('from a reckoning in UTC+8:');
  let changedByBeijing = 0;
  for (const r of records) {
    const u = utc8Records[r.year - FIRST_YEAR];
    if (recordKey(r) === recordKey(u)) continue;
    changedByBeijing++;
    out.push(`  ${describe(r)} (UTC+8: new year ${A.formatDate(A.jdnToDate(u.newYearDay))}, leap ${u.leapMonth}, ${flagString(u)})`);
  }
  if (!changedByBeijing) out.push('  none');

  out.push('');
  out.push('Records where the table keeps the engine\'s own data instead of the computation:');
  for (const r of pinnedRecords) {
    const c = records[r.year - FIRST_YEAR];
    const end = (x) => A.formatDate(A.jdnToDate(x.newYearDay + x.days - 1));
    out.push(`  ${r.year}: table ${flagString(r)} (last day ${end(r)}), computed ${flagString(c)} (last day ${end(c)})`);
  }
  if (!pinnedRecords.length) out.push('  none');

  out.push('');
  out.push('New moons whose civil day differs between ELP/MPP02 and the Meeus methods:');
  let any = false;
  for (const m of newMoons) {
    const a = eventDay(m.jdeMeeusPhase).jdn;
    const b = eventDay(m.jdeMeeusPosition).jdn;
    if (a !== m.jdn || b !== m.jdn) {
      any = true;
      out.push(`  ${A.formatUTC8(m.jde)}: series ${A.formatUTC8(m.jdeMeeusPhase)}, position ${A.formatUTC8(m.jdeMeeusPosition)}`);
    }
  }
  if (!any) out.push('  none');
  let maxPhase = 0;
  let maxPos = 0;
  for (const m of newMoons) {
    maxPhase = Math.max(maxPhase, Math.abs(m.jdeMeeusPhase - m.jde) * 86400);
    maxPos = Math.max(maxPos, Math.abs(m.jdeMeeusPosition - m.jde) * 86400);
  }
  out.push(`Largest difference from ELP/MPP02: Meeus series ${maxPhase.toFixed(1)} s, Meeus position ${maxPos.toFixed(1)} s.`);
  return out.join('\n') + '\n';
}

// ---- main ----------------------------------------------------------------

function main() {
  const check = process.argv.includes('--check');
  const newMoons = computeNewMoons();
  const terms = computePrincipalTerms();
  for (let i = 1; i < newMoons.length; i++) {
    const gap = newMoons[i].jdn - newMoons[i - 1].jdn;
    if (gap !== 29 && gap !== 30) throw new Error(`new moons ${gap} days apart`);
  }
  const computed = calendarFrom(newMoons.map((m) => m.jdn), terms);
  const utc8 = (ev) => ({ ...ev, ...eventDay(ev.jde, () => 0) });
  const computedUtc8 = calendarFrom(newMoons.map((m) => utc8(m).jdn), terms.map(utc8));
  const records = computed.map((r) => ({ ...r, flags: r.flags.slice() }));
  for (const pin of PINNED) {
    const r = records[pin.year - FIRST_YEAR];
    r.flags = pin.flags.padEnd(13, '0').split('').map(Number);
    r.days = r.flags.slice(0, r.leapMonth ? 13 : 12).reduce((a, f) => a + 29 + f, 0);
    r.pinned = true;
    console.log(`pinned ${describe(r)} (computed ${flagString(computed[pin.year - FIRST_YEAR])})`);
  }

  let ok = true;
  for (const [year, day, leap, flags] of [...ENGINE_RECORDS, ...PUBLISHED_RECORDS]) {
    const r = records[year - FIRST_YEAR];
    const got = [A.formatDate(A.jdnToDate(r.newYearDay)), r.leapMonth, flagString(r)];
    if (got[0] !== day || got[1] !== leap || got[2] !== flags) {
      ok = false;
      console.error(`MISMATCH ${year}: got ${got.join(' ')}, want ${day} ${leap} ${flags}`);
    }
  }
  for (const r of records) {
    if (!r.pinned && r.days !== r.nextNewYearDay - r.newYearDay) {
      throw new Error(`year ${r.year}: months do not fill the year`);
    }
  }
  if (!ok) {
    console.error('engine or published records differ; nothing written');
    process.exit(1);
  }

  const files = [[INC_PATH, incText(records)], [REPORT_PATH, reportText(newMoons, terms, computed, records.filter((r) => r.pinned), computedUtc8)]];
  let differs = false;
  for (const [path, text] of files) {
    if (check) {
      let old = '';
      try { old = readFileSync(path, 'utf8'); } catch { /* missing */ }
      if (old !== text) { differs = true; console.error(`${path} differs from the generated text`); }
    } else {
      writeFileSync(path, text);
      console.log(`wrote ${path}`);
    }
  }
  const last = records[records.length - 1];
  console.log(`lunar year ${last.year} ends on ${A.formatDate(A.jdnToDate(last.newYearDay + last.days - 1))}`);
  if (check) {
    console.log(differs ? 'generated files differ' : 'generated files are up to date');
    process.exit(differs ? 1 : 0);
  }
}

main();
