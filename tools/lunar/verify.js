// Verifies the committed lunar table and the engine's conversion:
//  - every record's months fill the gap to the next new year (the last one
//    ends before the 2051 new year), engine and published records,
//    leap-month fields;
//  - builds check_lunar.cpp with engine/calendar/lunar.cpp
//    (g++), runs its hand-derived cases and round trips, and compares its
//    lunar date for every civil day 1900-12-01 .. 2052-01-31 with an
//    independent walk of the table (table.js);
//  - with --regen also re-runs the generator and checks that it reproduces
//    the committed files byte for byte (about a minute).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { dateToJdn, formatDate, jdnToDate } from './astro.js';
import { lunarOfDay, readTable } from './table.js';

const here = dirname(fileURLToPath(import.meta.url));
const engine = resolve(here, '../../engine');
let failures = 0;
const fail = (msg) => { failures++; console.log(`FAIL ${msg}`); };
const fmt = (jdn) => formatDate(jdnToDate(jdn));

// New year of the lunar year 2051 (new moon 2051-02-11 14:41 UTC+8).
const NEW_YEAR_2051 = dateToJdn(2051, 2, 11);

const ENGINE_RECORDS = [
  [1901, '1901-02-19', 0, '010010101110'],
  [1903, '1903-01-29', 5, '0101001001101'],
  [1984, '1984-02-02', 10, '1011001001011'],
  [2023, '2023-01-22', 2, '0100110110101'],
  [2033, '2033-01-31', 11, '0100101011101'],
  [2050, '2050-01-23', 3, '0101010110100'],
  // The published calendar of 1914-1920 (Beijing local time).
  [1914, '1914-01-26', 5, '1101010100101'],
  [1915, '1915-02-14', 0, '101101010100'],
  [1916, '1916-02-03', 0, '110101101010'],
  [1920, '1920-02-20', 0, '010010010111'],
];

function checkTable(table) {
  for (let i = 0; i < table.length; i++) {
    const r = table[i];
    if (r.leapMonth < 0 || r.leapMonth > 12) fail(`${r.year}: leap month ${r.leapMonth}`);
    if (!r.leapMonth && r.flags[12] !== 0) fail(`${r.year}: 13th flag set without a leap month`);
    if (r.newYearOffset < 20 || r.newYearOffset > 50) fail(`${r.year}: new year ${fmt(r.newYearDay)}`);
    const next = i + 1 < table.length ? table[i + 1].newYearDay : NEW_YEAR_2051;
    const end = r.newYearDay + r.days;
    if (i + 1 < table.length && end !== next) {
      fail(`${r.year}: months end on ${fmt(end - 1)}, next new year ${fmt(next)}`);
    }
    if (i + 1 === table.length) {
      if (end > next) fail(`${r.year}: months run past the 2051 new year`);
      console.log(`record ${r.year}: ${r.days} days, last day ${fmt(end - 1)}; ` +
        `the 2051 new year ${fmt(next)} follows after ${next - end} day(s) not in the table`);
    }
  }
  for (const [year, day, leap, flags] of ENGINE_RECORDS) {
    const r = table[year - 1901];
    const got = `${fmt(r.newYearDay)} ${r.leapMonth} ${r.flags.slice(0, r.leapMonth ? 13 : 12).join('')}`;
    if (got !== `${day} ${leap} ${flags}`) fail(`engine record ${year}: ${got}`);
  }
  console.log(`table: ${table.length} records checked`);
}

function checkEngine(table) {
  const dir = mkdtempSync(join(tmpdir(), 'lunar-check-'));
  try {
    const exe = join(dir, 'check_lunar');
    execFileSync('g++', ['-std=c++20', '-O2', '-Wall', '-Wextra', '-Werror', `-I${engine}`,
      join(here, 'check_lunar.cpp'), join(engine, 'calendar/lunar.cpp'),
      '-o', exe], { stdio: 'inherit' });
    let out;
    try {
      out = execFileSync(exe, { encoding: 'utf8', maxBuffer: 64 << 20 });
    } catch (e) {
      out = e.stdout;
      fail('check_lunar reported failures');
    }
    let days = 0;
    let mismatches = 0;
    for (const line of out.split('\n')) {
      if (!line.startsWith('DAY ')) {
        if (line) console.log(`engine: ${line}`);
        continue;
      }
      const [, date, ...rest] = line.split(' ');
      const [y, m, d] = date.split('-').map(Number);
      const want = lunarOfDay(table, dateToJdn(y, m, d));
      const wantText = want ? `${want.year} ${want.month} ${want.day}` : '-';
      days++;
      if (rest.join(' ') !== wantText) {
        if (++mismatches <= 10) fail(`${date}: engine ${rest.join(' ')}, table walk ${wantText}`);
      }
    }
    if (mismatches > 10) fail(`... ${mismatches} mismatching days in all`);
    console.log(`engine vs table walk: ${days} civil days compared, ${mismatches} differ`);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

function checkRegeneration() {
  try {
    execFileSync(process.execPath, [join(here, 'generate.js'), '--check'], { stdio: 'inherit' });
  } catch {
    fail('the generator does not reproduce the committed files');
  }
}

const table = readTable();
checkTable(table);
checkEngine(table);
if (process.argv.includes('--regen')) checkRegeneration();
console.log(failures ? `verify: ${failures} failure(s)` : 'verify: all checks passed');
process.exit(failures ? 1 : 0);
