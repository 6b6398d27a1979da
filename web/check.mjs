// Plays the page's opening in Debian's chromium by real mouse events and
// compares the canvas with the headless backend's screenshots of the same
// moments; measures what the page costs while it waits for the first click,
// listens after that click for the sound and for the music; saves into slot 1
// through the save screen; then reloads, looks for what the game wrote in its
// save folder and loads slot 1 back. A second tab, opened meanwhile, must say
// that the game is open elsewhere and leave the saves alone until the first
// has closed; what it puts into IndexedDB must outlive the first's saving.
// usage: node check.mjs PAGE_DIR HEADLESS_SHOTS_DIR [TOLERANCE]
import { chromium } from 'playwright-core';
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { report } from './sizes.mjs';

const [pageDir, shotsDir, tol] = process.argv.slice(2);
const tolerance = Number(tol || 3000);
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.png': 'image/png', '.ttf': 'font/ttf', '.woff2': 'font/woff2', '.json': 'application/json',
  '.data': 'application/octet-stream' };
const server = http.createServer((req, res) => {
  const url = decodeURIComponent(req.url.split('?')[0]);
  const file = url.startsWith('/shots/') ? path.join(shotsDir, url.slice(7))
                                         : path.join(pageDir, url);
  fs.readFile(file, (err, body) => {
    if (err) { res.writeHead(404); res.end(); return; }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    res.end(body);
  });
});
await new Promise((r) => server.listen(0, '127.0.0.1', r));
const base = `http://127.0.0.1:${server.address().port}`;
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox'] });
let failed = 0;
try {
  // One context for both tabs, so that they share IndexedDB.
  const context = await browser.newContext({ viewport: { width: 640, height: 480 } });
  const page = await context.newPage();
  const watch = (tab) => {
    tab.on('console', (m) => { if (process.env.QF_WEB_VERBOSE) console.log('page:', m.text()); });
    tab.on('crash', () => console.log('the page crashed'));
    tab.on('pageerror', (e) => { console.log('page error:', e.message); failed++; });
    tab.on('dialog', (d) => { console.log('alert:', d.message()); failed++; d.dismiss(); });
  };
  watch(page);
  const started = Date.now();
  await page.goto(`${base}/quillfen.html`);
  await page.waitForFunction(() => window.Module && Module.firstFrameMs, null, { timeout: 60000 });
  const firstFrame = await page.evaluate(() => Math.round(Module.firstFrameMs));
  console.log(`first frame ${firstFrame} ms after navigation (${Date.now() - started} ms here)`);

  // The comparisons run in the page: a frame is 1.2 million numbers. A
  // reload takes them away with the page.
  const installProbes = () => page.evaluate(() => {
    window.qfPixels = () => document.getElementById('canvas').getContext('2d')
      .getImageData(0, 0, 640, 480).data;
    // Pixels off by more than 6 % in a channel.
    window.qfDiffer = (a, b) => {
      let n = 0;
      for (let i = 0; i < a.length; i += 4) {
        if (Math.abs(a[i] - b[i]) > 15 || Math.abs(a[i + 1] - b[i + 1]) > 15 ||
            Math.abs(a[i + 2] - b[i + 2]) > 15) n++;
      }
      return n;
    };
  });
  await installProbes();
  // Still for about three seconds, longer than the story's timed pauses; the
  // click cursor's blink aside.
  const settle = async () => {
    await page.evaluate(() => { window.qfPrev = qfPixels(); });
    for (let i = 0, still = 0; i < 150 && still < 5; i++) {
      await page.waitForTimeout(600);
      const n = await page.evaluate(() => {
        const now = qfPixels(), d = qfDiffer(now, qfPrev);
        qfPrev = now;
        return d;
      });
      still = n < 300 ? still + 1 : 0;
    }
  };
  const againstHeadless = (name) => page.evaluate(async (url) => {
    const img = new Image();
    img.src = url;
    await img.decode();
    const c = document.createElement('canvas');
    c.width = 640; c.height = 480;
    const g = c.getContext('2d');
    g.drawImage(img, 0, 0);
    return qfDiffer(qfPrev, g.getImageData(0, 0, 640, 480).data);
  }, `${base}/shots/${name}.png`);
  const box = await page.locator('#canvas').boundingBox();
  const click = async (x = 320, y = 240) => {
    await page.mouse.click(box.x + x * box.width / 640, box.y + y * box.height / 480);
  };
  // The processor's time over a few seconds of waiting for a click, as the
  // browser counts it: all tasks, and the script among them.
  const idleCost = async () => {
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Performance.enable');
    const sample = async () => {
      const m = Object.fromEntries((await cdp.send('Performance.getMetrics')).metrics
        .map((x) => [x.name, x.value]));
      return [m.Timestamp, m.TaskDuration, m.ScriptDuration];
    };
    const [t0, task0, script0] = await sample();
    await page.waitForTimeout(4000);
    const [t1, task1, script1] = await sample();
    const pc = (v) => `${(100 * v / (t1 - t0)).toFixed(1)} %`;
    console.log(`waiting for a click: tasks ${pc(task1 - task0)}, script ${pc(script1 - script0)} ` +
                `of ${(t1 - t0).toFixed(1)} s`);
    await cdp.detach();
  };
  // After the first click the page's output sounds, and so does the music
  // alone: an analyser on each reads more than silence within 20 seconds.
  const listen = async () => {
    const heard = await page.evaluate(async () => {
      const out = Module.audioOut();
      const deadline = performance.now() + 20000;
      while (!(out.context && out.context.state === 'running') && performance.now() < deadline) {
        await new Promise((r) => setTimeout(r, 100));
      }
      if (!out.context) return { state: 'no context' };
      const tap = (node) => {
        const a = out.context.createAnalyser();
        a.fftSize = 2048;
        node.connect(a);
        return a;
      };
      const taps = { output: tap(out.master), music: tap(out.music) };
      const peak = { output: 0, music: 0 };
      const buf = new Float32Array(2048);
      while (performance.now() < deadline && !(peak.output > 1e-3 && peak.music > 1e-3)) {
        await new Promise((r) => setTimeout(r, 50));
        for (const k in taps) {
          taps[k].getFloatTimeDomainData(buf);
          for (const v of buf) peak[k] = Math.max(peak[k], Math.abs(v));
        }
      }
      return { state: out.context.state, musicReady: !!Module.musicReady, peak };
    });
    console.log(`after the first click: audio ${heard.state}, synthesiser ` +
                `${heard.musicReady ? 'up' : 'not up'}, peak ` +
                (heard.peak ? `${heard.peak.output.toFixed(3)} out, ${heard.peak.music.toFixed(3)} music`
                            : 'none'));
    if (!heard.peak || !(heard.peak.output > 1e-3 && heard.peak.music > 1e-3)) failed++;
  };
  const shots = [];
  const check = async (name) => {
    await settle();
    let n = await againstHeadless(name);
    // The title's three-second pause can look as still as a screen that
    // waits for a click: a screen that differs is given one more settle.
    const again = n > tolerance;
    if (again) {
      await settle();
      n = await againstHeadless(name);
    }
    console.log(`${name}: ${n} pixels differ (tolerance ${tolerance})` +
                (again ? ' after a second settle' : ''));
    shots.push(`${name} ${n}`);
    if (n > tolerance) {
      failed++;
      await page.locator('#canvas').screenshot({ path: `${shotsDir}/${name}.web.png` });
    }
  };
  await check('arrival');
  await idleCost();
  // No sound is started before the player's first gesture.
  const early = await page.evaluate(() => !!Module.audioOut().context);
  if (early) { console.log('an AudioContext was made before the first click'); failed++; }
  await click();
  await listen();
  // The second tab, opened while the first plays on: another page of the
  // same context, so the same IndexedDB. It writes a file into the saves
  // there, as a tab that plays without a lock could; the first's next save
  // must not take it away.
  const other = await context.newPage();
  watch(other);
  const foreign = '/save/from-another-tab.txt';
  const opened = (async () => {
    await other.goto(`${base}/quillfen.html`);
    await other.waitForFunction(() => window.Module && Module.saveLock, null, { timeout: 60000 });
    await other.evaluate((key) => new Promise((resolve, reject) => {
      const open = indexedDB.open('/save');
      open.onerror = () => reject(open.error);
      open.onsuccess = () => {
        const db = open.result, tx = db.transaction('FILE_DATA', 'readwrite');
        tx.objectStore('FILE_DATA').put({ timestamp: new Date(), mode: 0o100644,
          contents: new TextEncoder().encode('kept') }, key);
        tx.oncomplete = () => { db.close(); resolve(); };
        tx.onabort = () => reject(tx.error);
      };
    }), foreign);
  })();
  opened.catch(() => {});  // awaited before the save below
  await settle(); await click();
  await check('ordo');
  for (let i = 0; i < 4; i++) { await click(); await settle(); }
  await click();
  await check('menu');
  await opened;
  // Into slot 1 through the save screen, then back to the story.
  for (const [x, y] of [[616, 458], [320, 160], [320, 70], [320, 466], [320, 310]]) {
    await click(x, y);
    await settle();
  }
  await check('saved');
  // Meanwhile the second tab showed its notice, and its button, pressed now,
  // adds that the first is still open.
  const inSecond = () => other.evaluate(() => ({ lock: Module.saveLock,
    notice: document.getElementById('elsewhere').hidden ? '' :
      document.querySelector('#elsewhere p').textContent,
    still: !document.querySelector('#elsewhere .still').hidden,
    started: !!Module.firstFrameMs, synced: Module.savesSynced || 0,
    read: FS.analyzePath('/save').exists }));
  const meanwhile = await inSecond();
  await other.click('#elsewhere button', { timeout: 5000 }).catch(() => {});
  await other.waitForFunction(() => !document.querySelector('#elsewhere .still').hidden ||
                              Module.firstFrameMs, null, { timeout: 5000 }).catch(() => {});
  const pressed = await inSecond();
  const said = meanwhile.notice ? `"${meanwhile.notice}"` : 'no notice';
  console.log(`second tab while the first plays: ${said}, lock ${meanwhile.lock}, ` +
              `game ${pressed.started ? 'started' : 'not started'}, ` +
              `saves ${pressed.read ? 'read' : 'not read'}, ${pressed.synced} written back; ` +
              `its button: ${pressed.still ? '"still open" too' : 'no "still open"'}`);
  if (!meanwhile.notice || meanwhile.lock !== 'elsewhere' || !pressed.still || pressed.started ||
      pressed.read || pressed.synced) failed++;

  // What the game wrote is in IndexedDB and comes back with the page.
  const listing = (tab = page) => tab.evaluate(() => {
    const out = [];
    const walk = (d) => {
      for (const n of FS.readdir(d)) {
        if (n === '.' || n === '..') continue;
        const p = `${d}/${n}`;
        if (FS.isDir(FS.stat(p).mode)) walk(p); else out.push(p);
      }
    };
    walk('/save');
    return out.sort();
  });
  await page.waitForFunction(() => !Module.savesSynced || Module.savesSynced > 0, null,
                             { timeout: 10000 });
  await page.waitForTimeout(1000);
  const before = await listing();
  await page.reload();
  await page.waitForFunction(() => window.Module && Module.firstFrameMs, null, { timeout: 60000 });
  const after = await listing();
  const kept = before.filter((f) => after.includes(f));
  console.log(`save folder: ${before.length} files written, ${kept.length} back after a reload` +
              (before.length ? ` (${before.join(', ')})` : ''));
  console.log(`the second tab's file ${after.includes(foreign) ? 'kept' : 'lost'} ` +
              'through the first tab\'s saving');
  if (kept.length !== before.length || !kept.includes('/save/save/save1.dat') ||
      !after.includes(foreign)) failed++;
  // The reloaded game loads slot 1 from its first wait: the saved scene again.
  await installProbes();
  await check('arrival');
  for (const [x, y] of [[616, 458], [320, 210], [320, 70]]) {
    await click(x, y);
    await settle();
  }
  await check('loaded');
  // Once the first tab has closed, its lock goes with it and the second's
  // button starts the game there, on the saves the first left.
  await page.close();
  for (let i = 0; i < 50; i++) {
    if (!(await other.evaluate(async () => (await navigator.locks.query()).held.length))) break;
    await other.waitForTimeout(100);
  }
  await other.click('#elsewhere button', { timeout: 5000 }).catch(() => {});
  const took = await other.waitForFunction(() => Module.firstFrameMs, null, { timeout: 60000 })
    .then(() => true, () => false);
  const taken = took ? await listing(other) : [];
  const notice = await other.locator('#elsewhere').isVisible();
  const found = ['/save/save/save1.dat', foreign].filter((f) => taken.includes(f));
  console.log(`second tab after the first closed: ${took ? 'plays' : 'does not play'}, ` +
              `${notice ? 'notice still shown' : 'notice gone'}, ${taken.length} files ` +
              `(${found.join(', ') || 'neither slot 1 nor its own'})`);
  if (!took || notice || found.length !== 2) failed++;
  if (report(pageDir).over.length) failed++;
  console.log(failed ? `web check failed: ${failed}` : `web check: the screens matched (${shots.join(', ')})`);
} finally {
  await browser.close();
  server.close();
}
process.exit(failed ? 1 : 0);
