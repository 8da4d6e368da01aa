// The stage: the element the card's windows are placed on, a virtual
// monitor whose size the program reports (Module.velmoraLayout, see
// runtime/platform/web/web_windows.cpp) together with its largest window.
// The stage's centre stays in the middle of the viewport; where the largest
// window would not fit, the stage is shrunk until it does, never enlarged.
// At full size it sits on whole device pixels, so that the card's pixels
// are the canvas's pixels. Where the page shows more around the card (the
// sender's words), `arrange` says where the card's centre goes and how much
// it is shrunk instead.

const MARGIN = 8; // CSS pixels kept free around a card shrunk to fit

// The fitting without anything around the card: centred, shrunk only to fit.
const centred = (viewport, card) => {
  const k = Math.min(1, (viewport.width - 2 * MARGIN) / card.width, (viewport.height - 2 * MARGIN) / card.height);
  return { scale: k > 0 ? k : 1, centerX: viewport.width / 2, centerY: viewport.height / 2 };
};

export class Stage {
  #element;
  #arrange;
  #size = null; // the stage, CSS pixels
  #largest = null; // the largest window, CSS pixels; null: none yet

  // arrange(viewport, card) -> { scale, centerX, centerY }, CSS pixels.
  constructor(element, arrange = centred) {
    this.#element = element;
    this.#arrange = arrange;
    const fit = () => this.fit();
    window.addEventListener("resize", fit);
    window.visualViewport?.addEventListener("resize", fit);
  }

  get element() {
    return this.#element;
  }

  // The program's report: { stage: { width, height }, largest: { width, height } | null }.
  layout({ stage, largest }) {
    if (!this.#size || this.#size.width !== stage.width || this.#size.height !== stage.height) {
      this.#element.style.width = `${stage.width}px`;
      this.#element.style.height = `${stage.height}px`;
    }
    this.#size = stage;
    this.#largest = largest;
    this.fit();
  }

  // Centres the stage and fits the largest window (the stage itself before
  // there is a window) in the viewport.
  fit() {
    const stage = this.#size;
    if (!stage) return;
    const target = this.#largest ?? stage;
    const { clientWidth: vw, clientHeight: vh } = document.documentElement;
    const { scale: k, centerX, centerY } = this.#arrange({ width: vw, height: vh }, target);
    const dpr = window.devicePixelRatio || 1;
    const left = Math.round((centerX - (stage.width * k) / 2) * dpr) / dpr;
    const top = Math.round((centerY - (stage.height * k) / 2) * dpr) / dpr;
    this.#element.style.transform = `translate(${left}px,${top}px)${k < 1 ? ` scale(${k})` : ""}`;
  }
}
