#!/usr/bin/env node
// Generates engine/calendar/solar_term_data.inc: the body of the initializer of
//   const int64_t SolarTermTable[200][12][2]
// i.e. for every civil year 1900-2099 and civil month 1-12 the instant of the
// sectional term [0] and of the principal term [1] that fall in that month,
// as whole milliseconds since 1899-12-30 00:00 (proleptic Gregorian) in China
// Standard Time (UTC+8).
//
// Each instant is the moment the Sun's apparent geocentric ecliptic longitude
// reaches the term's angle (term 1 = 315 deg, +15 deg per term):
//   - heliocentric Earth position from the full VSOP87 (B) series (J2000
//     ecliptic), precessed to the ecliptic and equinox of date, turned
//     geocentric,
//   - FK5 frame correction,
//   - nutation in longitude (IAU 1980 series),
//   - annual aberration (-20.4898" / R),
// all as implemented by the npm package astronomia (solar.apparentVSOP87).
// The equation is solved in Terrestrial Time; UT = TT - DeltaT with the
// Espenak & Meeus (2006) polynomial expressions for DeltaT; then +8 h.
//
// Years 1900-1927 are rounded to whole minutes. Later years are first written
// as a day count with ten decimals (the table's published form, kept for the
// fixed instants below) and taken to the millisecond: the engine shows the
// whole second in which that falls, and a whole-second moment lies in the
// term when it is at or after it. An instant that the millisecond would take
// back onto a whole second it lies after keeps one millisecond more, so that
// the whole second itself still lies before the term.
// A short list of fixed instants (FIXED below) takes precedence over the
// computation.
//
// Usage: node generate.js > ../../engine/calendar/solar_term_data.inc
//        node generate.js --report   (differences to the fixed instants, on stderr)

'use strict';

const solar = require('astronomia/solar');
const { Planet } = require('astronomia/planetposition');
const vsop87Bearth = require('astronomia/data/vsop87Bearth').default;

const earth = new Planet(vsop87Bearth);

const FIRST_YEAR = 1900;
const LAST_YEAR = 2099;
const LAST_WHOLE_MINUTE_YEAR = 1927;
// Julian day of the date value 0 (1899-12-30 00:00).
const JD_OF_DAY_ZERO = 2415018.5;
const ZONE_DAYS = 8 / 24;

// Instants that are fixed data of the system. They replace the computed value;
// `value` is the published day count, `time` the civil time (UTC+8) it stands
// for, read as the engine reads the table (the millisecond-rounded value,
// seconds not rounded further); the generator checks the two agree, and the
// table holds exactly that civil time, to the second.
// Entries marked `firstHalf` must moreover lie in the first half of the stated
// second, so that they read the same whether the second is truncated or
// rounded.
//   - the first nine rows are reference instants of the table;
//   - the two January 2000 rows are instants other parts of the engine are
//     checked against: the computation gives 09:00:41.31 and 02:23:02.54, so
//     both are pinned to the stated second + 0.25 s.
const FIXED = [
  { year: 1900, month: 1, k: 0, value: '7.1305555556', time: '1900-01-06 03:08' },
  { year: 1900, month: 2, k: 0, value: '36.6236111111', time: '1900-02-04 14:58' },
  { year: 1916, month: 1, k: 0, value: '5850.9777777778', time: '1916-01-06 23:28' },
  { year: 1928, month: 1, k: 0, value: '10233.8966565928', time: '1928-01-06 21:31:11' },
  { year: 1984, month: 2, k: 0, value: '30716.9713459811', time: '1984-02-04 23:18:44.29', firstHalf: true },
  { year: 2000, month: 2, k: 0, value: '36560.8613909087', time: '2000-02-04 20:40:24' },
  { year: 2024, month: 3, k: 1, value: '45371.4626332917', time: '2024-03-20 11:06:11' },
  { year: 2050, month: 12, k: 1, value: '55144.0263257981', time: '2050-12-22 00:37:54' },
  { year: 2099, month: 12, k: 1, value: '73040.9192899070', time: '2099-12-21 22:03:46' },
  { year: 2000, month: 1, k: 0, value: '36531.3754890046', time: '2000-01-06 09:00:42', firstHalf: true },
  { year: 2000, month: 1, k: 1, value: '36546.0993315972', time: '2000-01-21 02:23:02', firstHalf: true },
];

// DeltaT = TT - UT in seconds, Espenak & Meeus polynomial expressions
// ("Five Millennium Canon of Solar Eclipses", NASA TP-2006-214141), for the
// decimal year y. Only the pieces covering 1899-2100 are needed.
function deltaT(y) {
  let t;
  if (y >= 1860 && y < 1900) {
    t = y - 1860;
    return 7.62 + 0.5737 * t - 0.251754 * t ** 2 + 0.01680668 * t ** 3 -
      0.0004473624 * t ** 4 + t ** 5 / 233174;
  }
  if (y >= 1900 && y < 1920) {
    t = y - 1900;
    return -2.79 + 1.494119 * t - 0.0598939 * t ** 2 + 0.0061966 * t ** 3 - 0.000197 * t ** 4;
  }
  if (y >= 1920 && y < 1941) {
    t = y - 1920;
    return 21.20 + 0.84493 * t - 0.076100 * t ** 2 + 0.0020936 * t ** 3;
  }
  if (y >= 1941 && y < 1961) {
    t = y - 1950;
    return 29.07 + 0.407 * t - t ** 2 / 233 + t ** 3 / 2547;
  }
  if (y >= 1961 && y < 1986) {
    t = y - 1975;
    return 45.45 + 1.067 * t - t ** 2 / 260 - t ** 3 / 718;
  }
  if (y >= 1986 && y < 2005) {
    t = y - 2000;
    return 63.86 + 0.3345 * t - 0.060374 * t ** 2 + 0.0017275 * t ** 3 +
      0.000651814 * t ** 4 + 0.00002373599 * t ** 5;
  }
  if (y >= 2005 && y < 2050) {
    t = y - 2000;
    return 62.92 + 0.32217 * t + 0.005589 * t ** 2;
  }
  if (y >= 2050 && y < 2150) {
    const u = (y - 1820) / 100;
    return -20 + 32 * u * u - 0.5628 * (2150 - y);
  }
  throw new Error(`no DeltaT expression for year ${y}`);
}

// Decimal year of a Julian day (good to a day, which is all DeltaT needs).
function decimalYear(jd) {
  return 2000 + (jd - 2451545.0) / 365.25;
}

// Julian day at 00:00 of a proleptic Gregorian date.
function julianDay(year, month, day) {
  let y = year;
  let m = month;
  if (m <= 2) {
    y -= 1;
    m += 12;
  }
  const a = Math.floor(y / 100);
  const b = 2 - a + Math.floor(a / 4);
  return Math.floor(365.25 * (y + 4716)) + Math.floor(30.6001 * (m + 1)) + day + b - 1524.5;
}

// Civil date of a date value's day part (proleptic Gregorian).
function civilDate(value) {
  const jd = Math.floor(value) + JD_OF_DAY_ZERO + 0.5; // integer JD at noon of that day
  const z = jd;
  const alpha = Math.floor((z - 1867216.25) / 36524.25);
  const a = z + 1 + alpha - Math.floor(alpha / 4);
  const b = a + 1524;
  const c = Math.floor((b - 122.1) / 365.25);
  const d = Math.floor(365.25 * c);
  const e = Math.floor((b - d) / 30.6001);
  const day = b - d - Math.floor(30.6001 * e);
  const month = e < 14 ? e - 1 : e - 13;
  const year = month > 2 ? c - 4716 : c - 4715;
  return { year, month, day };
}

const TWO_PI = 2 * Math.PI;

// Apparent geocentric ecliptic longitude of the Sun (radians, 0..2pi) at the
// Julian ephemeris day jde.
function apparentLongitude(jde) {
  return solar.apparentVSOP87(earth, jde).lon;
}

// Reduces an angle to (-pi, pi].
function signedAngle(x) {
  let r = x % TWO_PI;
  if (r > Math.PI) r -= TWO_PI;
  if (r <= -Math.PI) r += TWO_PI;
  return r;
}

// JDE at which the apparent longitude reaches `target` (radians), starting
// from a guess within a few days. Secant iteration on the longitude offset.
function solveLongitude(target, guessJde) {
  const f = (jde) => signedAngle(apparentLongitude(jde) - target);
  let x0 = guessJde;
  let f0 = f(x0);
  let x1 = x0 - f0 * (365.2422 / TWO_PI);
  let f1 = f(x1);
  for (let i = 0; i < 50; i++) {
    if (f1 === f0) break;
    const x2 = x1 - f1 * (x1 - x0) / (f1 - f0);
    x0 = x1;
    f0 = f1;
    x1 = x2;
    f1 = f(x1);
    if (Math.abs(x1 - x0) < 1e-9) return x1;
  }
  if (Math.abs(f1) > 1e-12) throw new Error(`no convergence near JDE ${guessJde}`);
  return x1;
}

// Term number (1..24) of the sectional (k=0) / principal (k=1) term of a month.
function termNumber(month, k) {
  const n = 2 * month - 3 + k;
  return ((n % 24) + 24 - 1) % 24 + 1;
}

// Apparent solar longitude of a term, in degrees.
function termLongitude(term) {
  return (315 + 15 * (term - 1)) % 360;
}

// Computed date value (UTC+8), before any rounding.
function computeInstant(year, month, k) {
  const target = termLongitude(termNumber(month, k)) * Math.PI / 180;
  // Sectional terms fall on days 4-9 of the civil month, principal terms on 18-24.
  const guessJde = julianDay(year, month, k === 0 ? 6 : 21);
  const jde = solveLongitude(target, guessJde);
  const dt = deltaT(decimalYear(jde));
  return (jde - JD_OF_DAY_ZERO) + (ZONE_DAYS - dt / 86400);
}

// printf("%.10f") of a non-negative double, exactly: the binary value is
// expanded without error and rounded half to even, as glibc does.
function formatFixed10(x) {
  if (!(x >= 0) || !Number.isFinite(x)) throw new Error(`cannot format ${x}`);
  const buf = new DataView(new ArrayBuffer(8));
  buf.setFloat64(0, x);
  const bits = buf.getBigUint64(0);
  const expBits = Number((bits >> 52n) & 0x7ffn);
  let mant = bits & ((1n << 52n) - 1n);
  let exp;
  if (expBits === 0) {
    exp = -1074;
  } else {
    mant |= 1n << 52n;
    exp = expBits - 1075;
  }
  // x = mant * 2^exp; scaled = x * 10^10 = num / den
  let num = mant * 10n ** 10n;
  let den = 1n;
  if (exp >= 0) num <<= BigInt(exp);
  else den <<= BigInt(-exp);
  let q = num / den;
  const r2 = (num % den) * 2n;
  if (r2 > den || (r2 === den && (q & 1n) === 1n)) q += 1n;
  const s = q.toString().padStart(11, '0');
  return `${s.slice(0, -10)}.${s.slice(-10)}`;
}

const SECONDS_PER_DAY = 86400;

// The whole seconds since day 0 of a day count written with ten decimals:
// the value taken to the millisecond, then to the second in which it falls.
function secondsOfText(text) {
  return Math.floor(millisecondsOfText(text) / 1000);
}

// The milliseconds since day 0 of a day count written with ten decimals: the
// value taken to the nearest millisecond, one more where that is a whole
// second and the value lies after it (compared exactly, in integers).
function millisecondsOfText(text) {
  const ms = Math.round(Number(text) * 86400000);
  if (ms % 1000 === 0) {
    const [whole, fraction] = text.split('.');
    const exact = BigInt(whole + fraction.padEnd(10, '0')) * 86400000n; // ms * 10^10
    if (exact > BigInt(ms) * 10n ** 10n) return ms + 1;
  }
  return ms;
}

// Civil time text of a date value, rounded to the millisecond.
function civilTimeText(value) {
  const ms = Math.round(value * 86400000);
  const dayMs = ((ms % 86400000) + 86400000) % 86400000;
  const { year, month, day } = civilDate(Math.floor(ms / 86400000));
  const p2 = (n) => String(n).padStart(2, '0');
  const h = Math.floor(dayMs / 3600000);
  const mi = Math.floor(dayMs / 60000) % 60;
  const s = Math.floor(dayMs / 1000) % 60;
  const frac = dayMs % 1000;
  return `${year}-${p2(month)}-${p2(day)} ${p2(h)}:${p2(mi)}:${p2(s)}.${String(frac).padStart(3, '0')}`;
}

// Does the value lie at the stated civil time (to the stated precision:
// minute, second or hundredth of a second, the value falling inside it)?
function matchesTime(value, time, firstHalf) {
  const m = /^(\d+)-(\d+)-(\d+) (\d+):(\d+)(?::(\d+)(?:\.(\d+))?)?$/.exec(time);
  if (!m) throw new Error(`bad time ${time}`);
  const [year, month, day, hour, minute] = m.slice(1, 6).map(Number);
  const second = m[6] === undefined ? 0 : Number(m[6]);
  const fracText = m[7] === undefined ? '' : m[7];
  const unitSeconds = m[6] === undefined ? 60 : 10 ** -fracText.length;
  const start = (julianDay(year, month, day) - JD_OF_DAY_ZERO) * 86400 +
    hour * 3600 + minute * 60 + second + (fracText ? Number(`0.${fracText}`) : 0);
  const t = value * 86400;
  // Whole-minute values are the minute itself; others fall within the unit.
  if (m[6] === undefined) return Math.abs(t - start) < 1e-3;
  const width = firstHalf ? Math.min(unitSeconds, 0.5) : unitSeconds;
  return t >= start - 1e-6 && t < start + width - 1e-6;
}

// Does a count of seconds since day 0 read as the stated civil time, to the
// minute or to the second it states?
function fixedSecondIs(seconds, time) {
  const m = /^(\d+)-(\d+)-(\d+) (\d+):(\d+)(?::(\d+))?/.exec(time);
  const [year, month, day, hour, minute] = m.slice(1, 6).map(Number);
  const second = m[6] === undefined ? 0 : Number(m[6]);
  const dayStart = Math.round(julianDay(year, month, day) - JD_OF_DAY_ZERO) * SECONDS_PER_DAY;
  return seconds === dayStart + hour * 3600 + minute * 60 + second;
}

function main() {
  const report = process.argv.includes('--report');
  const fixedAt = new Map(FIXED.map((f) => [`${f.year}-${f.month}-${f.k}`, f]));
  const problems = [];
  const reportLines = [];
  const out = [];
  const bumps = [];
  out.push('// Solar-term instants, civil years 1900-2099: {sectional, principal} term of');
  out.push('// each civil month, milliseconds since 1899-12-30 00:00, UTC+8. Generated by');
  out.push('// tools/solarterms; do not edit by hand.');
  for (let year = FIRST_YEAR; year <= LAST_YEAR; year++) {
    const pairs = [];
    for (let month = 1; month <= 12; month++) {
      const texts = [];
      for (let k = 0; k < 2; k++) {
        const key = `${year}-${month}-${k}`;
        const raw = computeInstant(year, month, k);
        let ms = year <= LAST_WHOLE_MINUTE_YEAR
          ? Math.round(raw * 1440) * 60000
          : millisecondsOfText(formatFixed10(raw));
        const fixed = fixedAt.get(key);
        if (fixed) {
          const v = Number(fixed.value);
          if (formatFixed10(v) !== fixed.value) problems.push(`${key}: fixed text ${fixed.value} does not round-trip`);
          if (!matchesTime(v, fixed.time, fixed.firstHalf)) problems.push(`${key}: fixed value ${fixed.value} is not ${fixed.time}`);
          reportLines.push(
            `${year} ${String(month).padStart(2)} ${k}  fixed ${fixed.value.padStart(16)}  ` +
            `computed ${formatFixed10(raw).padStart(16)} (${civilTimeText(raw)})  ` +
            `diff ${((raw - v) * 86400).toFixed(2)} s`);
          // Up to 1927 the published values are whole minutes.
          ms = year <= LAST_WHOLE_MINUTE_YEAR
            ? Math.round(v * 1440) * 60000
            : millisecondsOfText(fixed.value);
          const seconds = Math.floor(ms / 1000);
          if (!fixedSecondIs(seconds, fixed.time)) problems.push(`${key}: ${seconds} s is not ${fixed.time}`);
        }
        if (year > LAST_WHOLE_MINUTE_YEAR && ms % 1000 <= 1) {
          const text = fixed ? fixed.value : formatFixed10(raw);
          if (Math.round(Number(text) * 86400000) % 1000 === 0) bumps.push(`${key}${ms % 1000 ? ' (+1 ms)' : ''}`);
        }
        texts.push(String(ms));
      }
      pairs.push(`{${texts[0]}, ${texts[1]}}`);
    }
    out.push(`{${pairs.join(', ')}}, // ${year}`);
  }
  if (report) {
    process.stderr.write(`${reportLines.join('\n')}\n`);
    process.stderr.write(`values after 1927 that the millisecond takes onto a whole second: ${bumps.join(' ') || 'none'}\n`);
  }
  if (problems.length) {
    process.stderr.write(`${problems.join('\n')}\n`);
    process.exit(1);
  }
  process.stdout.write(`${out.join('\n')}\n`);
}

if (require.main === module) main();

module.exports = { deltaT, computeInstant, formatFixed10, secondsOfText, millisecondsOfText, civilDate, julianDay, termNumber };
