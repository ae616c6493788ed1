// Propagation rate of satellite.js (npm, version 7) on the sets bench_sgp4
// times, for the table beside ours: each set to 1,440 times, one minute
// apart over a day from its epoch, as bench_sgp4_peers.py does for
// python3-sgp4.
//
//     npm install --prefix /tmp/sjs satellite.js@7
//     SATELLITE_JS=/tmp/sjs/node_modules/satellite.js/dist/index.js \
//         node bench/bench_sgp4_peers.mjs FILE [SETS]
//
// FILE is a two-line catalog (gen_catalog.py 100000); SETS limits the run
// to the first SETS sets. Prints propagations per second, near-Earth
// (period under 225 minutes) and deep-space apart.
import { readFileSync } from "node:fs";

const TIMES = 1440;
const lib = await import(process.env.SATELLITE_JS || "satellite.js");
const sat = lib.default && lib.default.twoline2satrec ? lib.default : lib;
const [path, limitArg] = process.argv.slice(2);
const rows = readFileSync(path, "utf8").split(/\r?\n/);
let pairs = [];
for (let i = 0; i + 1 < rows.length; i++)
  if (rows[i].startsWith("1 ") && rows[i + 1].startsWith("2 ")) pairs.push([rows[i], rows[++i]]);
if (limitArg) pairs = pairs.slice(0, Number(limitArg));
const totals = { "near-Earth": [0, 0], "deep-space": [0, 0] };
let sink = 0;
// Warm-up: the engine compiles the model's functions before timing starts.
for (const [l1, l2] of pairs.slice(0, 200)) {
  const rec = sat.twoline2satrec(l1, l2);
  for (let t = 0; t < TIMES; t++) sink += sat.sgp4(rec, t) ? 1 : 0;
}
for (const [l1, l2] of pairs) {
  const rec = sat.twoline2satrec(l1, l2);
  const kind = (2 * Math.PI) / rec.no >= 225 ? "deep-space" : "near-Earth";
  const start = process.hrtime.bigint();
  for (let t = 0; t < TIMES; t++) {
    const s = sat.sgp4(rec, t);
    if (s && s.position) sink += s.position.x;
  }
  totals[kind][1] += Number(process.hrtime.bigint() - start) / 1e9;
  totals[kind][0] += TIMES;
}
let n = 0, secs = 0;
for (const [kind, [count, took]] of Object.entries(totals)) {
  n += count;
  secs += took;
  if (count) console.log(`satellite.js ${kind}: ${(count / took / 1e6).toFixed(3)} M propagations/s (${count} props)`);
}
console.log(`satellite.js catalog mix: ${(n / secs / 1e6).toFixed(3)} M propagations/s`);
if (sink === 0.5) console.log("");
