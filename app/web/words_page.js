// The sender's words around the card in the page: "For Anna" above it, the
// message and "from Ben" below, the card shrunk (never below half its size)
// where the words need the room.
//
//   startWords(doc, onChange) -> layout
//       Shows the words of the one-file card's block, or else of the
//       address's fragment, in #words-to, #words-message and #words-from,
//       and titles the tab after them. A new fragment (the write page's
//       preview changes it as the sender types) shows the new words and
//       calls onChange(), after which the stage should be laid out again.
//   layout(viewport, card) -> {scale, centerX, centerY}
//   layoutWords(viewport, card, elements) -> the same, for given elements
//       ({to, message, from, footer}: footer, the "Write your own" link at
//       the bottom of the page, is kept clear of the words)
//       viewport: {width, height} in CSS pixels; card: {width, height}, the
//       largest window at full size. Places the word boxes and returns
//       where the stage's centre goes and how much it is shrunk. Without
//       words it is today's fitting: centred, shrunk only to fit.

import { cleanWords, hasWords, readEmbeddedWords, readWords, showWords, titleFor } from "./words.js";

const MARGIN = 8;  // CSS pixels kept free around the card and its words
const GAP = 10;    // between the card and a word box
const MIN_SCALE = 0.5;

const px = (value) => `${Math.round(value)}px`;

export function layoutWords(viewport, card, elements) {
  const vw = viewport.width, vh = viewport.height;
  const fitted = Math.min(1, (vw - 2 * MARGIN) / card.width, (vh - 2 * MARGIN) / card.height);
  const alone = fitted > 0 ? fitted : 1;
  const shown = (e) => e && !e.hidden;
  const { to, message, from } = elements;
  if (!shown(to) && !shown(message) && !shown(from)) return { scale: alone, centerX: vw / 2, centerY: vh / 2 };

  const height = (e) => (shown(e) ? e.offsetHeight : 0);
  const gaps = [to, message, from].filter(shown).length * GAP;
  let messageHeight = 0;
  if (shown(message)) {
    message.style.maxHeight = "none";
    messageHeight = message.offsetHeight;
  }
  // With words the page's bottom line is kept for the footer link.
  const fixed = height(to) + height(from) + gaps + (shown(elements.footer) ? elements.footer.offsetHeight + GAP / 2 : 0);
  let scale = Math.min(alone, (vh - 2 * MARGIN - fixed - messageHeight) / card.height);
  const least = Math.min(MIN_SCALE, alone);
  if (scale < least) {
    // The message gives up room, and scrolls, before the card goes below half.
    scale = least;
    messageHeight = Math.max(0, vh - 2 * MARGIN - fixed - scale * card.height);
  }
  if (shown(message)) {
    const scrolls = messageHeight < message.offsetHeight;
    message.style.maxHeight = scrolls ? px(messageHeight) : "none";
    // A box that scrolls is reachable by keyboard, to scroll it.
    if (scrolls) message.tabIndex = 0;
    else message.removeAttribute("tabindex");
  }

  const cardHeight = scale * card.height;
  const total = fixed + cardHeight + messageHeight;
  let y = Math.max(MARGIN, (vh - total) / 2);
  if (shown(to)) {
    to.style.top = px(y);
    y += height(to) + GAP;
  }
  const centerY = y + cardHeight / 2;
  y += cardHeight + GAP;
  if (shown(message)) {
    message.style.top = px(y);
    y += messageHeight + GAP;
  }
  if (shown(from)) from.style.top = px(y);
  return { scale, centerX: vw / 2, centerY };
}

export function startWords(doc = document, onChange = () => {}) {
  const elements = {
    to: doc.getElementById("words-to"),
    message: doc.getElementById("words-message"),
    from: doc.getElementById("words-from"),
    footer: doc.getElementById("write-own"),
  };
  const fallbackTitle = doc.title;
  // A card file written with words keeps them; one made without words (the
  // release's) takes them from its address, as the site does.
  const inside = readEmbeddedWords(doc);
  const embedded = inside && hasWords(inside) ? inside : null;
  const show = () => {
    const words = embedded || readWords(doc.defaultView.location.hash);
    showWords(words, elements);
    doc.title = titleFor(words, fallbackTitle);
    doc.documentElement.classList.toggle("with-words", hasWords(cleanWords(words)));
  };
  show();
  if (!embedded) {
    doc.defaultView.addEventListener("hashchange", () => {
      show();
      onChange();
    });
  }
  return (viewport, card) => layoutWords(viewport, card, elements);
}
