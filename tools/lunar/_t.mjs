import * as A from './astro.js';
for (let k=(2050.85-2000)*12.3685|0; k<=(2051.2-2000)*12.3685; k++){ const r=A.newMoon(k); console.log(A.formatUTC8(r.jde), ((r.jdeMeeusPhase-r.jde)*86400).toFixed(1), ((r.jdeMeeusPosition-r.jde)*86400).toFixed(1), A.deltaTSeconds(r.jde).toFixed(1)); }
const ws=A.solarLongitudeTime(270, 2469808+355); console.log('WS', A.formatUTC8(ws));
const dh=A.solarLongitudeTime(300, 2469808+385); console.log('大寒', A.formatUTC8(dh));
const ys=A.solarLongitudeTime(330, 2469808+415); console.log('雨水', A.formatUTC8(ys));
