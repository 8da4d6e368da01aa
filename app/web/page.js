// The page's entry: checks for WebAssembly, has the module compiled while
// velmora.js loads, starts the card in the stage, says what went wrong in
// one line, and offers to open the card again once it has been closed.
// stage.js fits the stage, loader.js fetches, compiles and starts.
// index.html shows the card's first frame as a picture (#poster) until the
// program draws it, and has the sentence for a card that cannot be loaded
// (#trouble, window.velmoraTrouble), which it also shows itself if this
// script never runs.
import { cardFileProblem } from "./embedded.js";
import { compileModule, loadCardScript, startCard, webAssemblySupported } from "./loader.js";
import { Stage } from "./stage.js";
import { startWords } from "./words_page.js";

window.velmoraCheckIn?.();

// The sender's words around the card: a new set (the write page's preview
// changes the address as the sender types) lays the stage out again.
const poster = document.getElementById("poster");
const arrange = startWords(document, () => stage.fit());
const stage = new Stage(document.getElementById("stage"), arrange, poster);
stage.fit();
const reopen = document.getElementById("reopen");
const message = document.getElementById("message");
// The fragment's keys: "#bench", or "bench" among "&"-separated keys.
const fragmentKeys = new Set(location.hash.replace(/^#/, "").split("&").map((part) => part.split("=")[0]));
const bench = fragmentKeys.has("bench");
const scriptStarted = performance.now();
// The tap that ends the card is followed by the browser's click at the
// same place, where the control now is: it must not open the card again.
const REOPEN_GUARD_MS = 500;

let moduleReady = 0;
let firstFrame = 0;
let running = null; // the module object of the showing card
let reopenShown = 0;

const say = (text) => {
  message.textContent = text;
  message.hidden = false;
};

// What went wrong goes to the console; the page says one plain sentence
// and offers to try again (index.html's #trouble).
const failed = (error) => {
  console.error(error);
  const line = cardFileProblem(error);
  if (line) say(line);
  else if (window.velmoraTrouble) window.velmoraTrouble();
  else say("The card could not be opened just now. Please reload the page.");
};

const start = async (compiled) => {
  // Opened again from the keyboard, the card takes the focus the control
  // had once it shows.
  const focusCard = document.activeElement === reopen;
  reopen.hidden = true;
  message.hidden = true;
  try {
    await window.velmoraPosterArrived;
    await loadCardScript();
  } catch (error) {
    failed(error);
    return;
  }
  if (typeof window.VelmoraCard !== "function") {
    failed(new Error("velmora.js did not define VelmoraCard"));
    return;
  }
  compiled.then((module) => {
    running = startCard(module, stage, {
      instantiated: () => {
        if (!moduleReady) moduleReady = performance.now();
      },
      // The program's first frame is the poster's picture: it takes its place.
      firstFrame: () => {
        if (!firstFrame) firstFrame = performance.now();
        if (poster) poster.hidden = true;
        // The program shows the window right after its first frame, before
        // it next waits: the canvas can take the focus from then on.
        if (focusCard) setTimeout(() => stage.element.querySelector("canvas[tabindex]")?.focus({ preventScroll: true }));
        // A page that gave up waiting for a file that came after all.
        document.documentElement.classList.remove("trouble");
        document.getElementById("trouble").hidden = true;
      },
      error: say,
      failed,
      ended: () => {
        reopenShown = performance.now();
        reopen.hidden = false;
        if (document.activeElement === document.body) reopen.focus({ preventScroll: true });
      },
    });
  }, failed);
};

// With #bench in the address the title carries what the measuring script
// (bench/measure_presentation.sh -b) reads: the first frame after
// navigation and the page's memory.
const reportFigures = () => {
  setInterval(() => {
    const heap = performance.memory ? performance.memory.usedJSHeapSize : 0;
    const wasm = running?.velmoraMemoryBytes ? running.velmoraMemoryBytes() : 0;
    document.title =
      `first_frame_ms=${firstFrame.toFixed(1)} js_heap_kb=${Math.round(heap / 1024)}` +
      ` wasm_kb=${Math.round(wasm / 1024)} script_ms=${scriptStarted.toFixed(1)}` +
      ` module_ms=${moduleReady.toFixed(1)}`;
  }, 1000);
};

if (!webAssemblySupported()) {
  say("This card needs a browser with WebAssembly; please open it in a current browser.");
} else {
  // The poster comes first (index.html); then the module, compiled while
  // it downloads, and its script beside it.
  const compiled = Promise.resolve(window.velmoraPosterArrived).then(() => {
    loadCardScript().catch(() => {}); // reported when the card starts
    return compileModule("velmora.wasm");
  });
  compiled.catch(() => {}); // reported when the card starts
  // A fault while the module starts, outside the promises, still leaves a
  // line in the page rather than a blank one.
  window.addEventListener("error", (event) => {
    if (!firstFrame) failed(event.error ?? event.message);
  });
  reopen.addEventListener("click", () => {
    if (performance.now() - reopenShown >= REOPEN_GUARD_MS) start(compiled);
  });
  // A module script runs once the page is read, before DOMContentLoaded.
  document.addEventListener("DOMContentLoaded", () => start(compiled));
  if (bench) reportFigures();
}
