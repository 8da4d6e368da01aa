// Starts the card in the page: checks for WebAssembly, fetches the module
// (and, on a high-density screen, the pictures drawn at twice the size),
// runs the program, keeps its stage centred and fitted, and offers to open
// the card again once it has been closed.
(function () {
  "use strict";

  var stage = document.getElementById("stage");
  var reopen = document.getElementById("reopen");
  var message = document.getElementById("message");
  var STAGE_WIDTH = 1024, STAGE_HEIGHT = 768;  // the stage in web_platform.js
  var MARGIN = 8;  // CSS pixels kept free around a card shrunk to fit
  var bench = /(^|[#&])bench\b/.test(location.hash);
  var scriptStarted = performance.now(), moduleReady = 0;

  function say(text) {
    message.textContent = text;
    message.hidden = false;
  }

  // ------------------------------------------------------------ fitting

  // The stage's centre stays in the middle of the viewport; where the card
  // (the largest window) would not fit, the stage is shrunk until it does,
  // never enlarged. At full size it sits on whole device pixels, so that
  // the card's pixels are the canvas's pixels.
  function fit() {
    var width = 333, height = 415;
    var canvases = stage.getElementsByTagName("canvas");
    for (var i = 0; i < canvases.length; ++i) {
      width = Math.max(width, parseFloat(canvases[i].style.width) || 0);
      height = Math.max(height, parseFloat(canvases[i].style.height) || 0);
    }
    var vw = document.documentElement.clientWidth, vh = document.documentElement.clientHeight;
    var k = Math.min(1, (vw - 2 * MARGIN) / width, (vh - 2 * MARGIN) / height);
    if (!(k > 0)) k = 1;
    var dpr = window.devicePixelRatio || 1;
    var left = Math.round((vw - STAGE_WIDTH * k) / 2 * dpr) / dpr;
    var top = Math.round((vh - STAGE_HEIGHT * k) / 2 * dpr) / dpr;
    stage.style.transform = "translate(" + left + "px," + top + "px)" + (k < 1 ? " scale(" + k + ")" : "");
  }
  window.addEventListener("resize", fit);
  if (window.visualViewport) window.visualViewport.addEventListener("resize", fit);
  new MutationObserver(fit).observe(stage, { childList: true });
  fit();

  // ----------------------------------------------------------- starting

  if (typeof WebAssembly !== "object" || typeof WebAssembly.instantiate !== "function") {
    say("This card needs a browser with WebAssembly; please open it in a current browser.");
    return;
  }

  function fetchBytes(url) {
    return fetch(url).then(function (response) {
      if (!response.ok) throw new Error(url + ": " + response.status + " " + response.statusText);
      return response.arrayBuffer();
    });
  }

  // The module is compiled once; opening the card again instantiates it
  // anew, so every showing starts from the program's first line.
  // Compiled while it downloads where the browser can; a server that sends
  // the module under another type than application/wasm gets it compiled
  // from its bytes instead.
  var compiled = (typeof WebAssembly.compileStreaming === "function"
    ? WebAssembly.compileStreaming(fetch("velmora.wasm").then(function (response) {
        if (!response.ok) throw new Error("velmora.wasm: " + response.status + " " + response.statusText);
        return response;
      })).catch(function (error) {
        if (/velmora\.wasm: /.test(error.message)) throw error;
        return fetchBytes("velmora.wasm").then(function (bytes) { return WebAssembly.compile(bytes); });
      })
    : fetchBytes("velmora.wasm").then(function (bytes) { return WebAssembly.compile(bytes); }));

  // A screen of more than one device pixel per CSS pixel draws the card at
  // twice the size or more (webDeviceScale in web_platform.cpp rounds the
  // ratio up), from the pictures drawn at twice the size: only such a
  // screen downloads them.
  var sharp = (window.devicePixelRatio || 1) > 1.01;
  var pictures2x = sharp ? fetchBytes("pictures-2x.pack").catch(function () { return null; }) : Promise.resolve(null);

  var firstFrame = 0;
  var running = null;  // the module object of the showing card
  // The tap that ends the card is followed by the browser's click at the
  // same place, where the control now is: it must not open the card again.
  var reopenShown = 0;
  var REOPEN_GUARD_MS = 500;
  function start() {
    reopen.hidden = true;
    message.hidden = true;
    if (typeof window.VelmoraCard !== "function") {
      say("The card could not be loaded. Please reload the page.");
      return;
    }
    Promise.all([compiled, pictures2x]).then(function (ready) {
      var module = ready[0];
      running = {
        velmoraStage: stage,
        velmoraPictures2x: ready[1],
        velmoraError: say,
        velmoraEnded: function () {
          reopenShown = performance.now();
          reopen.hidden = false;
          if (document.activeElement === document.body) reopen.focus({ preventScroll: true });
        },
        velmoraFirstFrame: function () {
          if (!firstFrame) firstFrame = performance.now();
        },
        instantiateWasm: function (imports, done) {
          WebAssembly.instantiate(module, imports).then(function (instance) {
            if (!moduleReady) moduleReady = performance.now();
            done(instance, module);
          }, failed);
          return {};
        },
        onAbort: function (what) { say("The card stopped: " + what); },
        print: function (text) { console.log(text); },
        printErr: function (text) { console.warn(text); }
      };
      return window.VelmoraCard(running);
    }).catch(failed);
  }
  function failed(error) {
    console.error(error);
    say("The card could not be started (" + (error && error.message ? error.message : error) + ").");
  }
  // A fault while the module starts, outside the promises above, still
  // leaves a line in the page rather than a blank one.
  window.addEventListener("error", function (event) {
    if (!firstFrame) failed(event.error || event.message);
  });
  reopen.addEventListener("click", function () {
    if (performance.now() - reopenShown >= REOPEN_GUARD_MS) start();
  });
  // velmora.js, deferred after this script, has run by then.
  document.addEventListener("DOMContentLoaded", start);

  // With #bench in the address the title carries what the measuring script
  // reads: the first frame after navigation and the page's memory.
  if (bench) {
    setInterval(function () {
      var heap = performance.memory ? performance.memory.usedJSHeapSize : 0;
      var wasm = 0;
      if (running && running.velmoraMemoryBytes) wasm = running.velmoraMemoryBytes();
      document.title = "first_frame_ms=" + firstFrame.toFixed(1) + " js_heap_kb=" + Math.round(heap / 1024) +
                       " wasm_kb=" + Math.round(wasm / 1024) + " script_ms=" + scriptStarted.toFixed(1) +
                       " module_ms=" + moduleReady.toFixed(1);
    }, 1000);
  }
})();
