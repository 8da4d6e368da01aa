// The stage: the element the card's windows are placed on, a virtual
// monitor whose size the program reports (Module.velmoraLayout, see
// runtime/platform/web/web_windows.cpp) together with its largest window.
// The stage's centre stays in the middle of the viewport; where the largest
// window would not fit, the stage is shrunk until it does, never enlarged.
// At full size it sits on whole device pixels, so that the card's pixels
// are the canvas's pixels. Where the page shows more around the card (the
// sender's words), `arrange` says where the card's centre goes and how much
// it is shrunk instead.
// Until the program has drawn its first frame, the page shows that frame as
// a picture (the poster); the stage places it where the card goes (over
// the card's canvas once there is one) and says where the card's centre is
// (--card-x, --card-y on the root element, for the backdrop's glow).

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
  #poster;

  // arrange(viewport, card) -> { scale, centerX, centerY }, CSS pixels.
  // poster: the card's first frame as an <img> sized in CSS pixels, or null.
  constructor(element, arrange = centred, poster = null) {
    this.#element = element;
    this.#arrange = arrange;
    this.#poster = poster;
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
    const { clientWidth: vw, clientHeight: vh } = document.documentElement;
    const viewport = { width: vw, height: vh };
    const dpr = window.devicePixelRatio || 1;
    const snap = (value) => Math.round(value * dpr) / dpr;
    const poster = this.#poster && !this.#poster.hidden ? this.#poster : null;
    // The card: the largest window, or before there is one the poster.
    const card = this.#largest ?? (poster ? { width: Number(poster.getAttribute("width")), height: Number(poster.getAttribute("height")) } : null);
    if (card) {
      const { centerX, centerY } = this.#arrange(viewport, card);
      document.documentElement.style.setProperty("--card-x", `${Math.round(centerX)}px`);
      document.documentElement.style.setProperty("--card-y", `${Math.round(centerY)}px`);
    }
    const stage = this.#size;
    let placed = null; // the poster's top left corner and scale
    if (stage) {
      const target = this.#largest ?? stage;
      const { scale: k, centerX, centerY } = this.#arrange(viewport, target);
      const left = snap(centerX - (stage.width * k) / 2);
      const top = snap(centerY - (stage.height * k) / 2);
      this.#element.style.transform = `translate(${left}px,${top}px)${k < 1 ? ` scale(${k})` : ""}`;
      // The card's canvas is where the program put it on the stage.
      const canvas = this.#largest && this.#element.querySelector("canvas");
      if (canvas) placed = { left: left + parseFloat(canvas.style.left) * k, top: top + parseFloat(canvas.style.top) * k, k };
    }
    if (poster && card) {
      if (!placed) {
        const { scale: k, centerX, centerY } = this.#arrange(viewport, card);
        // Rounded down, as the program centres its window on the stage.
        const down = (value) => Math.floor(value * dpr) / dpr;
        placed = { left: down(centerX - (card.width * k) / 2), top: down(centerY - (card.height * k) / 2), k };
      }
      poster.classList.add("placed");
      poster.style.transform = `translate(${placed.left}px,${placed.top}px)${placed.k < 1 ? ` scale(${placed.k})` : ""}`;
    }
  }
}
