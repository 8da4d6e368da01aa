// The stage: the element the card's windows are placed on, a virtual
// monitor whose size the program reports (Module.velmoraLayout, see
// runtime/platform/web/web_windows.cpp) together with its largest window.
// The stage's centre stays in the middle of the viewport; where the largest
// window would not fit, the stage is shrunk until it does, never enlarged.
// At full size it sits on whole device pixels, so that the card's pixels
// are the canvas's pixels.

const MARGIN = 8; // CSS pixels kept free around a card shrunk to fit

export class Stage {
  #element;
  #size = null; // the stage, CSS pixels
  #largest = null; // the largest window, CSS pixels; null: none yet

  constructor(element) {
    this.#element = element;
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
    let k = Math.min(1, (vw - 2 * MARGIN) / target.width, (vh - 2 * MARGIN) / target.height);
    if (!(k > 0)) k = 1;
    const dpr = window.devicePixelRatio || 1;
    const left = Math.round(((vw - stage.width * k) / 2) * dpr) / dpr;
    const top = Math.round(((vh - stage.height * k) / 2) * dpr) / dpr;
    this.#element.style.transform = `translate(${left}px,${top}px)${k < 1 ? ` scale(${k})` : ""}`;
  }
}
