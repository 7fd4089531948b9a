#!/usr/bin/env node
// Checks engine/calendar/solar_term_data.inc (or the file named on the command
// line) for the table's invariants:
//   - 200 year lines 1900-2099, 12 {sectional, principal} pairs each;
//   - every value a whole number of milliseconds since 1899-12-30 00:00;
//   - every value inside its own civil month (UTC+8);
//   - values strictly increasing through the whole table, successive gaps
//     13.7-16.8 days;
//   - 1900-1927 values on whole minutes.
'use strict';

const fs = require('fs');
const path = require('path');
const { julianDay } = require('./generate.js');

const JD_OF_DAY_ZERO = 2415018.5;
const DAY = 86400000; // milliseconds
const file = process.argv[2] || path.join(__dirname, '../../engine/calendar/solar_term_data.inc');
const lines = fs.readFileSync(file, 'utf8').split('\n').filter((l) => l.startsWith('{'));
const errors = [];
if (lines.length !== 200) errors.push(`expected 200 year lines, found ${lines.length}`);

// Milliseconds since day 0 at 00:00 of a civil date.
const secondsAt = (year, month, day) => Math.round(julianDay(year, month, day) - JD_OF_DAY_ZERO) * DAY;

const all = [];
lines.forEach((line, i) => {
  const year = 1900 + i;
  const m = /\/\/ (\d+)$/.exec(line);
  if (!m || Number(m[1]) !== year) errors.push(`line ${i + 1}: year comment is not ${year}`);
  const texts = line.replace(/\/\/.*$/, '').match(/[0-9.]+/g) || [];
  if (texts.length !== 24) errors.push(`${year}: ${texts.length} values`);
  texts.forEach((t, j) => {
    if (!/^\d+$/.test(t)) errors.push(`${year}: value ${t} is not a whole number`);
    const month = Math.floor(j / 2) + 1;
    const v = Number(t);
    const start = secondsAt(year, month, 1);
    const end = month === 12 ? secondsAt(year + 1, 1, 1) : secondsAt(year, month + 1, 1);
    if (!(v >= start && v < end)) errors.push(`${year}-${month}[${j % 2}] ${t} outside its civil month`);
    if (year <= 1927 && v % 60000 !== 0) errors.push(`${year}-${month}[${j % 2}] ${t} not a whole minute`);
    all.push({ year, month, k: j % 2, v });
  });
});

let minGap = Infinity;
let maxGap = -Infinity;
for (let i = 1; i < all.length; i++) {
  const gap = (all[i].v - all[i - 1].v) / DAY;
  minGap = Math.min(minGap, gap);
  maxGap = Math.max(maxGap, gap);
  if (!(gap >= 13.7 && gap <= 16.8)) {
    const a = all[i];
    errors.push(`${a.year}-${a.month}[${a.k}]: gap ${gap.toFixed(4)} days`);
  }
}

console.log(`${all.length} values, gaps ${minGap.toFixed(4)} .. ${maxGap.toFixed(4)} days`);
if (errors.length) {
  console.log(errors.slice(0, 50).join('\n'));
  console.log(`${errors.length} problems`);
  process.exit(1);
}
console.log('all invariants hold');
