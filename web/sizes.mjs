// The page's size budget: everything in the page folder (all the browser
// loads) under 20 MB, the wasm under 3 MB. Prints the files and fails when
// over, from scripts/web.sh after every build and from the browser check.
// usage: node sizes.mjs PAGE_DIR
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const budget = { all: 20e6, wasm: 3e6 };

export function pageSizes(dir) {
  const files = [];
  const walk = (d) => {
    for (const e of fs.readdirSync(d, { withFileTypes: true })) {
      const p = path.join(d, e.name);
      if (e.isDirectory()) walk(p); else files.push([path.relative(dir, p), fs.statSync(p).size]);
    }
  };
  walk(dir);
  files.sort((a, b) => b[1] - a[1]);
  const all = files.reduce((s, f) => s + f[1], 0);
  const wasm = files.filter((f) => f[0].endsWith('.wasm')).reduce((s, f) => s + f[1], 0);
  const over = [];
  if (all > budget.all) over.push(`the page is ${all} bytes, over ${budget.all}`);
  if (wasm > budget.wasm) over.push(`the wasm is ${wasm} bytes, over ${budget.wasm}`);
  return { files, all, wasm, over };
}

const mb = (n) => (n / 1e6).toFixed(2).padStart(6) + ' MB';

export function report(dir) {
  const s = pageSizes(dir);
  for (const [name, size] of s.files) console.log(`  ${mb(size)}  ${name}`);
  console.log(`  ${mb(s.all)}  in all (budget ${mb(budget.all).trim()}, the wasm ${mb(budget.wasm).trim()})`);
  for (const o of s.over) console.log(`over budget: ${o}`);
  return s;
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  process.exit(report(process.argv[2]).over.length ? 1 : 0);
}
