// The page's side of the browser backend: the canvas, its input queued for
// the game's pump, the waits that give the browser its loop back, text
// drawn with the web fonts and the save folder in IndexedDB. The sound is in
// web_audio.js.
mergeInto(LibraryManager.library, {
  $QF__deps: ['$QFA', '$IDBFS'],
  $QF__postset: 'QF.init();',
  $QF: {
    // The whole page fills the screen, so the canvas keeps its sharp scaling.
    // gameFull is what the game believes; where the browser refuses or
    // leaves full screen itself (its own Esc), the game is sent the F4 that
    // brings it back in step.
    gameFull: false, requesting: false,
    fullScreen: function(on) {
      var d = document;
      QF.gameFull = on;
      if (on) {
        if (d.fullscreenElement || QF.requesting || !d.documentElement.requestFullscreen) return;
        QF.requesting = true;
        d.documentElement.requestFullscreen().then(function() {
          QF.requesting = false;
        }, function() {
          QF.requesting = false;
          if (QF.gameFull) QF.outOfStep();
        });
      } else if (d.fullscreenElement && d.exitFullscreen) {
        d.exitFullscreen().catch(function() {});
      }
    },
    outOfStep: function() {
      QF.gameFull = false;
      QF.push([4, 0x73, 0, 0]);
      QF.push([5, 0x73, 0, 0]);
    },
    events: [], wake: null, wakeOnEvents: false, cursor: [0, 0], ctx: null, glyphCtx: null,
    syncing: false, syncAgain: false,
    faces: ['QfGothic', 'QfMincho'], ascent: [0.88, 0.88],
    push: function(e) {
      QF.events.push(e);
      if (QF.wakeOnEvents) QF.nudge();
    },
    // Ends the game's wait, if it is in one.
    nudge: function() {
      if (QF.wake) { var w = QF.wake; QF.wake = null; w(); }
    },
    at: function(ev) {
      var c = Module['canvas'], r = c.getBoundingClientRect();
      var x = Math.floor((ev.clientX - r.left) * 640 / r.width);
      var y = Math.floor((ev.clientY - r.top) * 480 / r.height);
      QF.cursor = [x, y];
      return QF.cursor;
    },
    // The virtual-key code of a key the game knows, as the desktop backend
    // tells keys: by the character they type.
    vk: function(ev) {
      var k = ev.key, code = ev.code;
      if (code === 'NumpadAdd') return 0x6B;
      if (code === 'NumpadSubtract') return 0x6D;
      var named = { 'Enter': 0x0D, 'Escape': 0x1B, 'Tab': 0x09, 'Control': 0x11, 'Shift': 0x10,
        'PageUp': 0x21, 'PageDown': 0x22, 'Home': 0x24, 'End': 0x23, 'ArrowUp': 0x26,
        'ArrowDown': 0x28, 'F1': 0x70, 'F2': 0x71, 'F4': 0x73, 'F11': 0x7A, 'F12': 0x7B,
        '-': 0xBD, '+': 0xBB, '=': 0xBB, '/': 0xBF, '?': 0xBF, '[': 0xDB, ']': 0xDD, ' ': 0x20 };
      if (named.hasOwnProperty(k)) return named[k];
      if (k.length === 1) {
        var u = k.toUpperCase().charCodeAt(0);
        if ((u >= 65 && u <= 90) || (u >= 48 && u <= 57)) return u;
      }
      return 0;
    },
    // The save folder is one tab's at a time: the first holds a Web Lock
    // for its whole life, a later one says so in the page (shell.html's
    // notice) and starts only when asked again after the first has gone.
    // Without Web Locks the page plays as it always did; QF.keep still
    // writes nothing but what the tab itself changed.
    claim: function(start) {
      // Outside the lock's callback: a fault in the start is not taken for a
      // refused lock.
      var run = function() { setTimeout(start, 0); };
      if (!navigator.locks) { Module['saveLock'] = 'none'; run(); return; }
      var ask = function() {
        navigator.locks.request('quillfen-saves', { ifAvailable: true }, function(lock) {
          if (!lock) { QF.elsewhere(ask); return; }
          QF.elsewhere(null);
          Module['saveLock'] = 'held';
          run();
          return new Promise(function() {});
        }).catch(function(e) {
          console.warn('quillfen: no lock on the save folder: ' + e);
          Module['saveLock'] = 'none';
          run();
        });
      };
      ask();
    },
    // Shows the notice with its button asking again, or (null) hides it; a
    // second refusal adds that the other tab is still open.
    elsewhere: function(ask) {
      var n = document.getElementById('elsewhere');
      if (!n) return;
      if (ask) {
        Module['saveLock'] = 'elsewhere';
        n.querySelector('.still').hidden = n.hidden;
        n.querySelector('button').onclick = ask;
      }
      n.hidden = !ask;
    },
    // The save folder's file system: IDBFS, emscripten's memory one kept in
    // IndexedDB, but writing back only what this tab changed (QF.keep), as
    // much when the game's fsync asks as when qf_sync_out does.
    savesFs: {
      mount: function(mount) { return IDBFS.mount(mount); },
      syncfs: function(mount, populate, done) {
        if (populate) IDBFS.syncfs(mount, true, done); else QF.keep(mount, done);
      }
    },
    saves: false, known: {},
    // The folder's files and folders with their times, by path, as IndexedDB
    // keeps them.
    stamps: function(root) {
      var out = {};
      var walk = function(dir) {
        FS.readdir(dir).forEach(function(name) {
          if (name === '.' || name === '..') return;
          var path = dir + '/' + name, st = FS.stat(path);
          out[path] = st.mtime.getTime();
          if (FS.isDir(st.mode)) walk(path);
        });
      };
      walk(root);
      return out;
    },
    // Stores in IndexedDB what changed in the folder since the tab last
    // looked and removes what it removed, nothing else: IDBFS's own sync
    // writes back the tab's whole picture of the folder, taking away what
    // another tab saved meanwhile. A failed write is tried again with the
    // next.
    keep: function(mount, done) {
      var now = QF.stamps(mount.mountpoint), put = [], drop = [], p;
      for (p in now) if (QF.known[p] !== now[p]) put.push(p);
      for (p in QF.known) if (!(p in now)) drop.push(p);
      if (!put.length && !drop.length) { done(null); return; }
      IDBFS.getDB(mount.mountpoint, function(err, db) {
        if (err) { done(err); return; }
        var tx = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
        var store = tx.objectStore(IDBFS.DB_STORE_NAME);
        tx.oncomplete = function() { QF.known = now; done(null); };
        tx.onabort = function() { done(tx.error || 'aborted'); };
        try {
          put.forEach(function(path) {
            IDBFS.loadLocalEntry(path, function(e, entry) { if (!e) store.put(entry, path); });
          });
          drop.forEach(function(path) { store.delete(path); });
        } catch (e) {
          tx.abort();
        }
      });
    },
    init: function() {
      if (typeof window === 'undefined') return;
      var c = Module['canvas'];
      QF.ctx = c.getContext('2d');
      QFA.onWaveEnd = QF.nudge;
      var g = document.createElement('canvas');
      QF.glyphCtx = g.getContext('2d', { willReadFrequently: true });
      c.addEventListener('contextmenu', function(ev) { ev.preventDefault(); });
      c.addEventListener('mousemove', function(ev) {
        var p = QF.at(ev); QF.push([1, 0, p[0], p[1]]);
      });
      c.addEventListener('mousedown', function(ev) {
        QFA.start(); c.focus();
        var p = QF.at(ev); QF.push([2, ev.button, p[0], p[1]]); ev.preventDefault();
      });
      window.addEventListener('mouseup', function(ev) {
        var p = QF.at(ev); QF.push([3, ev.button, p[0], p[1]]);
      });
      c.addEventListener('wheel', function(ev) {
        var n = ev.deltaY < 0 ? 1 : ev.deltaY > 0 ? -1 : 0;
        if (n) { var p = QF.at(ev); QF.push([6, n, p[0], p[1]]); }
        ev.preventDefault();
      }, { passive: false });
      window.addEventListener('keydown', function(ev) {
        QFA.start();
        var v = QF.vk(ev);
        if (!v) return;
        ev.preventDefault();
        // Only here, in the key press, does the browser grant full screen.
        if (!ev.repeat && (v === 0x73 || (v === 0x0D && ev.altKey))) QF.fullScreen(!document.fullscreenElement);
        QF.push([4, v, ev.repeat ? 1 : 0, ev.altKey ? 1 : 0]);
      });
      window.addEventListener('keyup', function(ev) {
        var v = QF.vk(ev);
        if (v) { ev.preventDefault(); QF.push([5, v, 0, 0]); }
      });
      document.addEventListener('fullscreenchange', function() {
        if (!document.fullscreenElement && QF.gameFull && !QF.requesting) QF.outOfStep();
      });
      window.addEventListener('focus', function() { QF.push([7, 1, 0, 0]); });
      window.addEventListener('blur', function() { QF.push([7, 0, 0, 0]); });
    }
  },

  qf_next_event__deps: ['$QF'],
  qf_next_event: function(out) {
    var e = QF.events.shift();
    if (!e) return 0;
    for (var i = 0; i < 4; i++) HEAP32[(out >> 2) + i] = e[i];
    return 1;
  },

  // Sleeps until ms have passed (-1: no end), a wave the game waits for has
  // ended, or, when events is set, the page has an event for the game.
  qf_wait__deps: ['$QF'],
  qf_wait: function(ms, events) {
    return Asyncify.handleSleep(function(wakeUp) {
      var done = false, timer = 0;
      var finish = function() {
        if (done) return;
        done = true;
        if (timer) clearTimeout(timer);
        QF.wake = null;
        wakeUp();
      };
      if (ms >= 0) timer = setTimeout(finish, ms);
      if (events && QF.events.length) { setTimeout(finish, 0); return; }
      QF.wake = finish;
      QF.wakeOnEvents = !!events;
    });
  },

  qf_present__deps: ['$QF'],
  qf_present: function(ptr, x, y, w, h) {
    var img = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, ptr, 640 * 480 * 4), 640, 480);
    QF.ctx.putImageData(img, 0, 0, x, y, w, h);
  },

  qf_first_frame: function() {
    Module['firstFrameMs'] = performance.now();
    if (Module['onFirstFrame']) Module['onFirstFrame'](Module['firstFrameMs']);
  },

  qf_cursor__deps: ['$QF'],
  qf_cursor: function(out) {
    HEAP32[out >> 2] = QF.cursor[0];
    HEAP32[(out >> 2) + 1] = QF.cursor[1];
  },

  qf_alert: function(text) { window.alert(UTF8ToString(text)); },

  // The game's own switch; where the key press already asked, nothing more.
  qf_full_screen__deps: ['$QF'],
  qf_full_screen: function(on) { QF.fullScreen(!!on); },

  qf_download: function(name, data, size) {
    var blob = new Blob([HEAPU8.slice(data, data + size)], { type: 'image/png' });
    var a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = UTF8ToString(name);
    document.body.appendChild(a);
    a.click();
    setTimeout(function() { URL.revokeObjectURL(a.href); a.remove(); }, 1000);
  },

  // Brings the save folder back before the game reads anything, and loads
  // the faces: the game measures text from its first screen on. Only the tab
  // that holds the save folder gets that far (QF.claim); another waits here
  // and its game never starts.
  qf_sync_in__deps: ['$QF'],
  qf_sync_in: function(folder) {
    var path = UTF8ToString(folder);
    return Asyncify.handleSleep(function(wakeUp) {
      // faces.json names the files and their ascents, made with them.
      var fonts = fetch('faces.json').then(function(r) { return r.json(); }).then(function(list) {
        return Promise.all(list.faces.map(function(f, i) {
          QF.faces[i] = f.family;
          QF.ascent[i] = f.ascent;
          var face = new FontFace(f.family, 'url(' + f.file + ')');
          document.fonts.add(face);
          return face.load();
        }));
      }).catch(function(e) { console.warn('quillfen: the faces did not load: ' + e); });
      QF.claim(function() {
        try { FS.mkdir(path); } catch (e) {}
        FS.mount(QF.savesFs, {}, path);
        QF.saves = true;
        var saves = new Promise(function(resolve) {
          FS.syncfs(true, function(err) {
            if (err) console.warn('quillfen: the saves could not be read: ' + err);
            QF.known = QF.stamps(path);
            resolve();
          });
        });
        Promise.all([fonts, saves]).then(function() { wakeUp(); });
      });
    });
  },

  // One sync at a time; writes during one are taken by the next.
  qf_sync_out__deps: ['$QF'],
  qf_sync_out: function() {
    if (!QF.saves) return;
    if (QF.syncing) { QF.syncAgain = true; return; }
    QF.syncing = true;
    var run = function() {
      FS.syncfs(false, function(err) {
        if (err) console.warn('quillfen: the saves could not be kept: ' + err);
        if (QF.syncAgain) { QF.syncAgain = false; run(); return; }
        QF.syncing = false;
        Module['savesSynced'] = (Module['savesSynced'] || 0) + 1;
      });
    };
    run();
  },

  qf_glyph__deps: ['$QF'],
  qf_glyph: function(face, px, bold, codepoint, halfWidth, info, ink, cap) {
    var name = QF.faces[face];
    if (!document.fonts.check(px + 'px ' + name)) return 0;
    var side = px * 4 + 8, pad = px * 2;
    var g = QF.glyphCtx;
    if (g.canvas.width !== side) { g.canvas.width = side; g.canvas.height = side; }
    g.setTransform(1, 0, 0, 1, 0, 0);
    g.clearRect(0, 0, side, side);
    g.font = (bold ? 'bold ' : '') + px + 'px ' + name;
    g.textBaseline = 'alphabetic';
    g.fillStyle = '#000';
    var ch = String.fromCodePoint(codepoint);
    var advance = Math.round(g.measureText(ch).width);
    var half = Math.floor(px / 2), sx = 1;
    // Half-width characters keep half the em, as in the original faces.
    if (halfWidth && advance > half) { sx = half / advance; advance = half; }
    var base = Math.round(QF.ascent[face] * px);
    g.setTransform(sx, 0, 0, 1, pad, pad + base);
    g.fillText(ch, 0, 0);
    var a = g.getImageData(0, 0, side, side).data;
    var x0 = side, y0 = side, x1 = -1, y1 = -1;
    for (var y = 0; y < side; y++) {
      for (var x = 0; x < side; x++) {
        if (a[(y * side + x) * 4 + 3] >= 128) {
          if (x < x0) x0 = x; if (x > x1) x1 = x; if (y < y0) y0 = y; if (y > y1) y1 = y;
        }
      }
    }
    var w = x1 >= x0 ? x1 - x0 + 1 : 0, h = y1 >= y0 ? y1 - y0 + 1 : 0;
    if (w * h > cap) return 0;
    for (var yy = 0; yy < h; yy++) {
      for (var xx = 0; xx < w; xx++) {
        HEAPU8[ink + yy * w + xx] = a[((y0 + yy) * side + x0 + xx) * 4 + 3] >= 128 ? 1 : 0;
      }
    }
    var i32 = info >> 2;
    HEAP32[i32] = advance; HEAP32[i32 + 1] = w ? x0 - pad : 0; HEAP32[i32 + 2] = h ? y0 - pad : 0;
    HEAP32[i32 + 3] = w; HEAP32[i32 + 4] = h;
    return 1;
  }
});
