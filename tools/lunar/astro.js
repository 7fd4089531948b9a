// Astronomical events for the Chinese calendar: new moons and solar
// longitudes (principal terms), as instants in China Standard Time (UTC+8).
//
// Sun: full VSOP87D (Earth, ecliptic and equinox of date) with the FK5
//      correction, nutation (IAU 1980) and annual aberration.
// Moon: ELP/MPP02 (DE405 fit, full series), mean ecliptic and equinox of
//      date, plus nutation; light time applied. Meeus ch. 47 (moonposition)
//      is evaluated alongside as a consistency check.
// Time: JDE (TT) -> UT with the Delta-T of `astronomia` (IERS yearly and
//      monthly values to 2023, IERS predictions to 2032, the Espenak-Meeus
//      polynomial after that).
import { base, deltat, elp, moonphase, moonposition, nutation, planetposition, solar }
  from 'astronomia';
import vsop87Dearth from 'astronomia/data/vsop87Dearth';
import elpMppDeFull from 'astronomia/data/elpMppDeFull';

const earth = new planetposition.Planet(vsop87Dearth);
const moon = new elp.Moon(elpMppDeFull);
const TWO_PI = 2 * Math.PI;
const SECONDS = 86400;

/** Wraps an angle (radians) into (-pi, pi]. */
function wrapPi(x) {
  let r = x % TWO_PI;
  if (r <= -Math.PI) r += TWO_PI;
  if (r > Math.PI) r -= TWO_PI;
  return r;
}

/** Apparent geocentric longitude of the Sun (radians), ecliptic of date. */
export function sunLongitude(jde) {
  return solar.apparentVSOP87(earth, jde).lon;
}

/** Apparent geocentric longitude of the Moon by ELP/MPP02 (radians). */
export function moonLongitudeElp(jde) {
  const lt = moon.lightTime(jde);
  const { lon } = moon.position(jde - lt);
  return lon + nutation.nutation(jde)[0];
}

/** Apparent geocentric longitude of the Moon by Meeus ch. 47 (radians). */
export function moonLongitudeMeeus(jde) {
  return moonposition.position(jde).lon + nutation.nutation(jde)[0];
}

/** Delta-T (seconds) at a JDE. */
export function deltaTSeconds(jde) {
  const year = 2000 + (jde - 2451545.0) / 365.25;
  return deltat.deltaT(year);
}

/**
 * Solves f(t) = 0 near t0 (days) by the secant method; f is an angle
 * difference already wrapped into (-pi, pi]. rate: approximate df/dt.
 */
function solve(f, t0, rate) {
  let t1 = t0;
  let f1 = f(t1);
  let t2 = t1 - f1 / rate;
  let f2 = f(t2);
  for (let i = 0; i < 30 && Math.abs(t2 - t1) > 1e-8; i++) {
    const slope = (f2 - f1) / (t2 - t1);
    const t3 = t2 - f2 / slope;
    t1 = t2; f1 = f2;
    t2 = t3; f2 = f(t2);
  }
  return t2;
}

/**
 * The k-th new moon (k = 0 is the one of 2000-01-06), as JDE (TT), from the
 * Moon-Sun longitude difference with ELP/MPP02 and VSOP87. Returns also the
 * instants by Meeus' new-moon series and by Meeus' moon position, for
 * comparison.
 */
export function newMoon(k) {
  const year = 2000 + (k + 0.01) / 12.3685;
  const meeusPhase = moonphase.newMoon(year);
  const rate = TWO_PI / 29.530588861;
  const jdeElp = solve((t) => wrapPi(moonLongitudeElp(t) - sunLongitude(t)), meeusPhase, rate);
  const jdeMeeus = solve((t) => wrapPi(moonLongitudeMeeus(t) - sunLongitude(t)), jdeElp, rate);
  return { jde: jdeElp, jdeMeeusPhase: meeusPhase, jdeMeeusPosition: jdeMeeus };
}

/** JDE (TT) at which the Sun's apparent longitude is lonDeg, near jdeGuess. */
export function solarLongitudeTime(lonDeg, jdeGuess) {
  const target = (lonDeg * Math.PI) / 180;
  const rate = TWO_PI / 365.2422;
  return solve((t) => wrapPi(sunLongitude(t) - target), jdeGuess, rate);
}

/** Julian Day (UT) of a JDE. */
export function jdeToJdUT(jde) {
  return jde - deltaTSeconds(jde) / SECONDS;
}

/**
 * The civil day (UTC+8) of a JDE as a Julian Day Number, with the seconds
 * from the preceding local midnight.
 */
export function civilDayUTC8(jde, extraDeltaTSeconds = 0) {
  const local = jdeToJdUT(jde) - extraDeltaTSeconds / SECONDS + 0.5 + 8 / 24;
  const jdn = Math.floor(local);
  return { jdn, secondsAfterMidnight: (local - jdn) * SECONDS };
}

/** Proleptic Gregorian date of a Julian Day Number. */
export function jdnToDate(jdn) {
  // Richards' algorithm.
  const f = jdn + 1401 + Math.floor((Math.floor((4 * jdn + 274277) / 146097) * 3) / 4) - 38;
  const e = 4 * f + 3;
  const g = Math.floor((e % 1461) / 4);
  const h = 5 * g + 2;
  const day = Math.floor((h % 153) / 5) + 1;
  const month = ((Math.floor(h / 153) + 2) % 12) + 1;
  const year = Math.floor(e / 1461) - 4716 + Math.floor((12 + 2 - month) / 12);
  return { year, month, day };
}

/** Julian Day Number of a proleptic Gregorian date. */
export function dateToJdn(year, month, day) {
  const a = Math.floor((14 - month) / 12);
  const y = year + 4800 - a;
  const m = month + 12 * a - 3;
  return day + Math.floor((153 * m + 2) / 5) + 365 * y + Math.floor(y / 4) -
    Math.floor(y / 100) + Math.floor(y / 400) - 32045;
}

export function formatDate({ year, month, day }) {
  const p = (n) => String(n).padStart(2, '0');
  return `${year}-${p(month)}-${p(day)}`;
}

/** "YYYY-MM-DD hh:mm:ss" in UTC+8 of a JDE. */
export function formatUTC8(jde) {
  const { jdn, secondsAfterMidnight } = civilDayUTC8(jde);
  const s = Math.floor(secondsAfterMidnight);
  const p = (n) => String(n).padStart(2, '0');
  return `${formatDate(jdnToDate(jdn))} ${p(Math.floor(s / 3600))}:${p(Math.floor(s / 60) % 60)}:${p(s % 60)}`;
}

export { base };
