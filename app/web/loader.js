// Fetching, compiling and starting the module. The module is compiled once,
// while velmora.js still downloads; each showing of the card instantiates it
// anew, so that every showing starts from the program's first line.

import { embeddedFile, runEmbeddedScript } from "./embedded.js";

export const webAssemblySupported = () =>
  typeof WebAssembly === "object" && typeof WebAssembly.instantiate === "function";

// How long a file may keep the page waiting with nothing new: no answer,
// or no bytes since the last ones. A page may set window.velmoraStallMs to
// wait less (the browser test does).
export const stallMs = () => (window.velmoraStallMs > 0 ? window.velmoraStallMs : 20000);

export class StalledError extends Error {}

// fetch, given up (its promise or its body's reading fails) when the host
// has sent nothing new for stallMs(). The response goes on as the host sent
// it, so that the module still compiles while it downloads and the browser
// can keep the compiled module for the next visit (it does so only for a
// response of its own, with its address); a copy of its body, read and let
// go as it comes, tells whether bytes still arrive.
export const fetchWatched = async (url) => {
  const control = new AbortController();
  let timer = 0;
  const wait = () => {
    clearTimeout(timer);
    timer = setTimeout(() => control.abort(new StalledError(`${url}: nothing arrived for ${stallMs()} ms`)), stallMs());
  };
  wait();
  let response;
  try {
    response = await fetch(url, { signal: control.signal });
  } catch (error) {
    clearTimeout(timer);
    throw control.signal.aborted ? control.signal.reason : error;
  }
  if (!response.ok) {
    clearTimeout(timer);
    throw new Error(`${url}: ${response.status} ${response.statusText}`);
  }
  if (!response.body) {
    clearTimeout(timer);
    return response;
  }
  wait();
  const watcher = response.clone().body.getReader();
  (async () => {
    try {
      for (;;) {
        const { done } = await watcher.read();
        if (done) break;
        wait();
      }
    } catch {
      // Aborted or broken: whoever reads the response is told.
    }
    clearTimeout(timer);
  })();
  return response;
};

// A file beside the page, as bytes; fails on an HTTP error or a stall. A
// one-file card holds its files inside the page and fetches nothing.
export const fetchBytes = async (url) => {
  const inside = embeddedFile(url);
  if (inside) return inside;
  return (await fetchWatched(url)).arrayBuffer();
};

// Compiled while it downloads where the browser can; a server that sends
// the module under another type than application/wasm gets it compiled from
// its bytes instead.
export const compileModule = async (url) => {
  const inside = embeddedFile(url);
  if (inside) return WebAssembly.compile(await inside);
  if (typeof WebAssembly.compileStreaming === "function") {
    try {
      return await WebAssembly.compileStreaming(fetchWatched(url));
    } catch (error) {
      // Only a server's wrong type is worth a second download.
      if (!(error instanceof TypeError) || !/MIME/i.test(error.message)) throw error;
    }
  }
  return WebAssembly.compile(await fetchBytes(url));
};

// Makes velmora.js's VelmoraCard available, once: the site fetches it (so
// that a stall is noticed) and runs it in the page; a one-file card runs
// it from inside the page.
let scriptRun = null;
export const loadCardScript = () => {
  scriptRun ??=
    runEmbeddedScript("velmora.js") ??
    fetchWatched("velmora.js")
      .then((response) => response.text())
      .then((text) => {
        const script = document.createElement("script");
        script.textContent = text;
        document.body.appendChild(script);
      });
  return scriptRun;
};

// Starts one showing of the card from the compiled module, in `stage` (a
// Stage). `on` receives what the program reports: layout(report) (given to
// the stage first), firstFrame(), error(text), ended(), and instantiated()
// once the module's instance is made. Returns the module object: the
// program's side of the page (Module.velmoraBackend: the canvases by window)
// and its memory (velmoraMemoryBytes) are on it.
export const startCard = (module, stage, on) => {
  const card = {
    velmoraStage: stage.element,
    // The backend decides the device scale from it (web_platform.cpp).
    velmoraDevicePixelRatio: window.devicePixelRatio || 1,
    // The files the backend asks for (the pictures drawn at twice the size).
    velmoraFetch: fetchBytes,
    velmoraLayout: (report) => {
      stage.layout(report);
      on.layout?.(report);
    },
    velmoraFirstFrame: () => on.firstFrame?.(),
    velmoraError: (text) => on.error?.(text),
    velmoraEnded: () => on.ended?.(),
    instantiateWasm: (imports, done) => {
      WebAssembly.instantiate(module, imports).then((instance) => {
        on.instantiated?.();
        done(instance, module);
      }, on.failed);
      return {};
    },
    onAbort: (what) => on.failed?.(new Error(`The module stopped: ${what}`)),
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
  };
  window.VelmoraCard(card).catch(on.failed);
  return card;
};
