// The page side of the web backend, linked into the module as its
// JavaScript library (--js-library). It keeps one canvas per window inside
// the stage element the page hands over (Module.velmoraStage), forwards
// pointer input as raw records that web_platform.cpp turns into events, and
// puts pixels. Nothing here knows what a control is.
//
// The stage is the virtual monitor the program centres its windows on:
// 1024 x 768 logical pixels (kStageWidth x kStageHeight in
// web_platform.cpp); the page centres and fits it with a CSS transform.

var LibraryVelmoraWeb = {
  $VW: {
    windows: {},    // id -> { canvas, ctx, x, y, w, h, scale, z, visible, spans, rows, cursor }
    input: [],      // raw records waiting for the program, 8 numbers each
    wake: null,     // ends the current wait, when the program waits
    zCounter: 0,
    captured: null, // the window that took the press now held down
    hovered: null,  // the window the pointer is over
    listeners: null, // [type, handler] of the document listeners, while the program runs
    shown: false,   // whether a frame has been put yet
    cursors: {},    // cursor number -> CSS cursor value
    fetched: null,  // file name -> { bytes, copy in the program's memory }

    stage: function() { return Module['velmoraStage']; },

    // The stage's scale on the page, from the fit the page applies.
    fit: function() {
      var stage = VW.stage();
      var rect = stage.getBoundingClientRect();
      return { left: rect.left, top: rect.top, k: rect.width / stage.offsetWidth || 1 };
    },

    // The topmost shown window whose shape holds the point (device pixels
    // of the stage), with the point in the window's own pixels.
    hit: function(px, py) {
      var best = null, bx = 0, by = 0;
      for (var id in VW.windows) {
        var w = VW.windows[id];
        if (!w.visible) continue;
        var x = px - w.x, y = py - w.y;
        if (!VW.contains(w, x, y)) continue;
        if (!best || w.z > best.z) { best = w; bx = x; by = y; }
      }
      return best ? { w: best, x: bx, y: by } : null;
    },

    contains: function(w, x, y) {
      if (x < 0 || y < 0 || x >= w.w || y >= w.h) return false;
      if (!w.spans) return true;
      for (var i = w.rows[y]; i < w.rows[y + 1]; ++i) {
        if (x >= w.spans[3 * i + 1] && x < w.spans[3 * i + 2]) return true;
      }
      return false;
    },

    // Device pixels of the stage under a pointer event.
    point: function(e, scale) {
      var f = VW.fit();
      return { x: Math.floor((e.clientX - f.left) / f.k * scale), y: Math.floor((e.clientY - f.top) / f.k * scale) };
    },

    push: function(type, w, x, y, button, e, inside) {
      // Only the latest of a run of moves over one window matters: a move
      // that follows another not yet taken replaces it.
      var n = VW.input.length;
      if (type === 3 && n && VW.input[n - 8] === 3 && VW.input[n - 7] === w.id) {
        VW.input[n - 6] = x;
        VW.input[n - 5] = y;
        VW.input[n - 3] = Math.floor(e.timeStamp) >>> 0;
        return;
      }
      VW.input.push(type, w.id, x, y, button, Math.floor(e.timeStamp) >>> 0, inside ? 1 : 0,
                    e.pointerType === 'touch' ? 1 : 0);
      if (VW.wake) VW.wake();
    },

    setHovered: function(w, e) {
      if (VW.hovered && VW.hovered !== w && VW.windows[VW.hovered.id]) VW.push(4, VW.hovered, 0, 0, 0, e, false);
      VW.hovered = w;
      document.documentElement.style.cursor = w && w.cursor ? w.cursor : '';
    },

    // Buttons as the runtime numbers them: 1 left, 2 middle, 3 right.
    button: function(e) { return e.button === 1 ? 2 : e.button === 2 ? 3 : 1; },

    listen: function() {
      if (VW.listeners) return;
      VW.listeners = [];
      var on = function(type, handler) {
        document.addEventListener(type, handler, { capture: true });
        VW.listeners.push([type, handler]);
      };
      on('pointerdown', function(e) {
        if (e.button > 2) return;
        var p = VW.point(e, VW.scaleNow());
        var h = VW.hit(p.x, p.y);
        if (!h) return;  // outside every shape: the page beneath takes it
        e.preventDefault();
        VW.captured = h.w;
        VW.setHovered(h.w, e);
        VW.push(1, h.w, h.x, h.y, VW.button(e), e, true);
      });
      var release = function(e) {
        var w = VW.captured;
        if (!w) return;
        VW.captured = null;
        if (!VW.windows[w.id]) return;
        e.preventDefault();
        var p = VW.point(e, VW.scaleNow());
        var x = p.x - w.x, y = p.y - w.y;
        var inside = e.type === 'pointerup' && VW.contains(w, x, y);
        VW.push(2, w, x, y, VW.button(e), e, inside);
      };
      on('pointerup', release);
      on('pointercancel', release);
      on('pointermove', function(e) {
        var p = VW.point(e, VW.scaleNow());
        var w = VW.captured && VW.windows[VW.captured.id] ? VW.captured : null;
        if (w) {
          VW.push(3, w, p.x - w.x, p.y - w.y, 0, e, true);
          return;
        }
        var h = VW.hit(p.x, p.y);
        VW.setHovered(h ? h.w : null, e);
        if (h) VW.push(3, h.w, h.x, h.y, 0, e, true);
      });
      // No context menu or text selection over the card's windows.
      on('contextmenu', function(e) {
        var p = VW.point(e, VW.scaleNow());
        if (VW.hit(p.x, p.y)) e.preventDefault();
      });
    },

    // The program has ended: its listeners go, so that a card opened again
    // in the same page is the only one listening.
    unlisten: function() {
      if (!VW.listeners) return;
      VW.listeners.forEach(function(l) { document.removeEventListener(l[0], l[1], { capture: true }); });
      VW.listeners = null;
    },

    scaleNow: function() {
      for (var id in VW.windows) return VW.windows[id].scale;
      return 1;
    },

    // rows[y] .. rows[y + 1]: the spans of row y (the spans come sorted by row).
    indexRows: function(w) {
      var count = w.spans.length / 3, rows = new Int32Array(w.h + 1), i = 0;
      for (var y = 0; y <= w.h; ++y) {
        while (i < count && w.spans[3 * i] < y) ++i;
        rows[y] = i;
      }
      w.rows = rows;
    },

    place: function(w) {
      var s = w.canvas.style;
      s.left = (w.x / w.scale) + 'px';
      s.top = (w.y / w.scale) + 'px';
      s.width = (w.w / w.scale) + 'px';
      s.height = (w.h / w.scale) + 'px';
      s.zIndex = String(w.z);
    }
  },

  velmora_web_device_pixel_ratio__deps: ['$VW'],
  velmora_web_device_pixel_ratio: function() {
    var forced = Module['velmoraDevicePixelRatio'];
    return forced > 0 ? forced : (window.devicePixelRatio || 1);
  },

  velmora_web_create__deps: ['$VW'],
  velmora_web_create: function(id, x, y, width, height, scale) {
    var canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    canvas.className = 'velmora-window';
    canvas.style.display = 'none';
    var w = { id: id, canvas: canvas, ctx: canvas.getContext('2d'), x: x, y: y, w: width, h: height,
              scale: scale, z: ++VW.zCounter, visible: false, spans: null, rows: null, cursor: '' };
    VW.windows[id] = w;
    VW.place(w);
    VW.stage().appendChild(canvas);
    VW.listen();
    Module['velmoraMemoryBytes'] = function() { return HEAPU8.length; };
  },

  velmora_web_destroy__deps: ['$VW'],
  velmora_web_destroy: function(id) {
    var w = VW.windows[id];
    if (!w) return;
    delete VW.windows[id];
    if (w.canvas.parentNode) w.canvas.parentNode.removeChild(w.canvas);
    if (VW.captured === w) VW.captured = null;
    if (VW.hovered === w) { VW.hovered = null; document.documentElement.style.cursor = ''; }
  },

  velmora_web_bounds__deps: ['$VW'],
  velmora_web_bounds: function(id, x, y, width, height) {
    var w = VW.windows[id];
    if (!w) return;
    if (w.w !== width || w.h !== height) {
      w.canvas.width = width;
      w.canvas.height = height;
    }
    w.x = x; w.y = y; w.w = width; w.h = height;
    if (w.spans) VW.indexRows(w);
    VW.place(w);
  },

  velmora_web_visible__deps: ['$VW'],
  velmora_web_visible: function(id, visible) {
    var w = VW.windows[id];
    if (!w) return;
    // A window shown comes to the front, as on a desktop.
    if (visible && !w.visible) { w.z = ++VW.zCounter; VW.place(w); }
    w.visible = !!visible;
    w.canvas.style.display = visible ? 'block' : 'none';
  },

  velmora_web_owner__deps: ['$VW'],
  velmora_web_owner: function(id, owner) {
    var w = VW.windows[id], o = VW.windows[owner];
    if (!w || !o) return;
    if (w.z <= o.z) { w.z = ++VW.zCounter; VW.place(w); }
  },

  velmora_web_shape__deps: ['$VW'],
  velmora_web_shape: function(id, spans, count) {
    var w = VW.windows[id];
    if (!w) return;
    if (count < 0) { w.spans = null; w.rows = null; return; }
    w.spans = HEAP32.slice(spans >> 2, (spans >> 2) + 3 * count);
    VW.indexRows(w);
  },

  velmora_web_put__deps: ['$VW'],
  velmora_web_put: function(id, rgba, x, y, width, height) {
    var w = VW.windows[id];
    if (!w) return;
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    w.ctx.putImageData(new ImageData(bytes, width, height), x, y);
    if (!VW.shown) {
      VW.shown = true;
      if (Module['velmoraFirstFrame']) Module['velmoraFirstFrame']();
    }
  },

  // Makes the CSS cursor `cursor` from a picture at the device scale: shown
  // at its logical size through image-set, sharp; a browser without
  // image-set for cursors takes the plain picture. The hot spot is in CSS
  // pixels either way.
  velmora_web_cursor_make__deps: ['$VW'],
  velmora_web_cursor_make: function(cursor, rgba, width, height, hx, hy, scale) {
    var c = document.createElement('canvas');
    c.width = width;
    c.height = height;
    c.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(HEAPU8.slice(rgba, rgba + width * height * 4)), width, height), 0, 0);
    var url = 'url(' + c.toDataURL('image/png') + ')';
    var probe = document.createElement('div').style;
    probe.cursor = 'image-set(' + url + ' ' + scale + 'x) ' + Math.floor(hx / scale) + ' ' + Math.floor(hy / scale) + ', pointer';
    VW.cursors[cursor] = probe.cursor || (url + ' ' + hx + ' ' + hy + ', pointer');
  },

  velmora_web_cursor_free__deps: ['$VW'],
  velmora_web_cursor_free: function(cursor) {
    delete VW.cursors[cursor];
  },

  // Shows the CSS cursor `cursor` (0: the arrow) over the window.
  velmora_web_cursor__deps: ['$VW'],
  velmora_web_cursor: function(id, cursor) {
    var w = VW.windows[id];
    if (!w) return;
    w.cursor = (cursor && VW.cursors[cursor]) || '';
    if (VW.hovered === w) document.documentElement.style.cursor = w.cursor;
  },

  velmora_web_open: function(address) {
    window.open(UTF8ToString(address), '_blank', 'noopener');
  },

  velmora_web_error: function(message) {
    var text = UTF8ToString(message);
    console.error(text);
    if (Module['velmoraError']) Module['velmoraError'](text);
  },

  velmora_web_local_time: function(fields, fraction) {
    var d = new Date();
    HEAP32[(fields >> 2) + 0] = d.getFullYear();
    HEAP32[(fields >> 2) + 1] = d.getMonth() + 1;
    HEAP32[(fields >> 2) + 2] = d.getDate();
    HEAP32[(fields >> 2) + 3] = d.getHours();
    HEAP32[(fields >> 2) + 4] = d.getMinutes();
    HEAP32[(fields >> 2) + 5] = d.getSeconds();
    HEAPF64[fraction >> 3] = d.getMilliseconds() / 1000;
  },

  velmora_web_take_input__deps: ['$VW'],
  velmora_web_take_input: function(records, capacity) {
    var n = Math.min(capacity, VW.input.length / 8);
    for (var i = 0; i < n * 8; ++i) HEAP32[(records >> 2) + i] = VW.input[i];
    VW.input.splice(0, n * 8);
    return n;
  },

  // Yields to the browser until input arrives or the time passes (a
  // negative time: until input).
  velmora_web_wait__deps: ['$VW'],
  velmora_web_wait: function(milliseconds) {
    return Asyncify.handleSleep(function(wakeUp) {
      var timer = 0;
      VW.wake = function() {
        VW.wake = null;
        if (timer) clearTimeout(timer);
        wakeUp();
      };
      if (milliseconds >= 0) timer = setTimeout(VW.wake, milliseconds);
    });
  },

  // Copies a file of the pack the page fetched (Module.velmoraPictures2x:
  // name, zero byte, 4-byte little-endian size, bytes; see
  // tools/web/pack_files.py) into the program's memory, once; 0 when the
  // page fetched no such file.
  velmora_web_fetched_file__deps: ['$VW', 'malloc'],
  velmora_web_fetched_file: function(name, size) {
    var wanted = UTF8ToString(name);
    if (!VW.fetched) {
      VW.fetched = {};
      var pack = Module['velmoraPictures2x'];
      var bytes = pack ? new Uint8Array(pack) : new Uint8Array(0);
      var at = 0;
      while (at < bytes.length) {
        var end = bytes.indexOf(0, at);
        if (end < 0 || end + 5 > bytes.length) break;
        var key = new TextDecoder().decode(bytes.subarray(at, end));
        var length = bytes[end + 1] | (bytes[end + 2] << 8) | (bytes[end + 3] << 16) | (bytes[end + 4] << 24);
        if (end + 5 + length > bytes.length) break;  // a cut-off pack: keep what is whole
        VW.fetched[key] = { bytes: bytes.subarray(end + 5, end + 5 + length), copy: 0 };
        at = end + 5 + length;
      }
    }
    var file = VW.fetched[wanted];
    if (!file) return 0;
    if (!file.copy) {
      file.copy = _malloc(file.bytes.length);
      HEAPU8.set(file.bytes, file.copy);
    }
    HEAP32[size >> 2] = file.bytes.length;
    return file.copy;
  },

  velmora_web_ended__deps: ['$VW'],
  velmora_web_ended: function() {
    VW.unlisten();
    document.documentElement.style.cursor = '';
    if (Module['velmoraEnded']) Module['velmoraEnded']();
  }
};

autoAddDeps(LibraryVelmoraWeb, '$VW');
mergeInto(LibraryManager.library, LibraryVelmoraWeb);
