// Fetching, compiling and starting the module. The module is compiled once,
// while velmora.js still downloads; each showing of the card instantiates it
// anew, so that every showing starts from the program's first line.

import { embeddedFile, runEmbeddedScript } from "./embedded.js";

export const webAssemblySupported = () =>
  typeof WebAssembly === "object" && typeof WebAssembly.instantiate === "function";

// A file beside the page, as bytes; fails on an HTTP error. A one-file card
// holds its files inside the page and fetches nothing.
export const fetchBytes = async (url) => {
  const inside = embeddedFile(url);
  if (inside) return inside;
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
  return response.arrayBuffer();
};

// Compiled while it downloads where the browser can; a server that sends
// the module under another type than application/wasm gets it compiled from
// its bytes instead.
export const compileModule = async (url) => {
  const inside = embeddedFile(url);
  if (inside) return WebAssembly.compile(await inside);
  if (typeof WebAssembly.compileStreaming === "function") {
    try {
      return await WebAssembly.compileStreaming(
        fetch(url).then((response) => {
          if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
          return response;
        }),
      );
    } catch (error) {
      if (error.message.startsWith(`${url}: `)) throw error;
    }
  }
  return WebAssembly.compile(await fetchBytes(url));
};

// Makes velmora.js's VelmoraCard available: the site loads it with the
// page; a one-file card runs it from inside the page, once.
let scriptRun = null;
export const loadCardScript = () => {
  scriptRun ??= runEmbeddedScript("velmora.js") ?? Promise.resolve();
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
    onAbort: (what) => on.error?.(`The card stopped: ${what}`),
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
  };
  window.VelmoraCard(card).catch(on.failed);
  return card;
};
