// The write page (write.html): the sender types whom the card is for, a
// message and whom it is from, sees the card with them in a preview, and
// sends it: a link that carries the words after its #, the browser's own
// sharing, or one file to keep or attach. Nothing leaves the browser here
// but the site's own files, fetched to make the one file.

import { assembleCardFile, cardFileName } from "./card_file.js";
import { LIMITS, cleanWords, countCharacters, cutCharacters, readWords, wordsToFragment } from "./words.js";

const $ = (id) => document.getElementById(id);
const fields = { to: $("to"), message: $("message"), from: $("from") };
const status = $("status");
const linkBox = $("link-box"), linkField = $("link");
const frame = $("preview-frame");
const PREVIEW_DELAY_MS = 300;

const words = () => cleanWords({ to: fields.to.value, message: fields.message.value, from: fields.from.value });
// The card's address beside this page, whatever folder the site is in.
const cardAddress = (fragment) => {
  const url = new URL("index.html", location.href);
  url.hash = fragment;
  return url.href;
};
const link = () => cardAddress(wordsToFragment(words()));

function say(text) {
  status.textContent = text;
}

// ------------------------------------------------------------- typing

function count(field) {
  const input = fields[field], limit = LIMITS[field];
  // Cut to the limit as the sender types, but never in the middle of
  // composing a character with an input method.
  if (countCharacters(input.value) > limit) input.value = cutCharacters(input.value, limit);
  const used = countCharacters(input.value);
  const counter = $(`${field}-count`);
  counter.textContent = `${used} / ${limit}`;
  counter.classList.toggle("full", used >= limit);
}

let previewTimer = 0;
function updatePreview() {
  clearTimeout(previewTimer);
  previewTimer = setTimeout(() => {
    // A new fragment, not a new page: the card keeps playing and the
    // words change under it; replace() keeps the back button for this page.
    try {
      frame.contentWindow.location.replace(cardAddress(wordsToFragment(words())));
    } catch {
      frame.src = cardAddress(wordsToFragment(words()));
    }
  }, PREVIEW_DELAY_MS);
}

for (const [field, input] of Object.entries(fields)) {
  input.addEventListener("input", (event) => {
    if (!event.isComposing) count(field);
    linkBox.hidden = true;
    say("");
    updatePreview();
  });
  input.addEventListener("compositionend", () => count(field));
}

// Words already in this page's address (a card sent back to be changed)
// fill the fields.
const start = readWords(location.hash);
for (const field of Object.keys(fields)) {
  fields[field].value = start[field];
  count(field);
}
frame.src = cardAddress(wordsToFragment(start));

// ------------------------------------------------------------ sending

function showLink(note) {
  linkField.value = link();
  $("link-note").textContent = note;
  linkBox.hidden = false;
  linkField.focus();
  linkField.select();
}

async function copyLink() {
  try {
    if (!navigator.clipboard || typeof navigator.clipboard.writeText !== "function") throw new Error("no clipboard");
    await navigator.clipboard.writeText(link());
    linkBox.hidden = true;
    say("Link copied. Paste it into a message to send the card.");
  } catch {
    say("");
    showLink("Your browser did not let this page copy the link. It is selected below: copy it from there.");
  }
}

async function share() {
  const { to } = words();
  try {
    await navigator.share({ title: to ? `A card for ${to}` : "A card for you", url: link() });
  } catch (error) {
    // Closing the share sheet is the sender's choice, not a fault.
    if (error && error.name === "AbortError") return;
    showLink("This card could not be shared from here. Its link is selected below: copy it from there.");
  }
}

async function download() {
  const button = $("download");
  button.disabled = true;
  say("Making your card into one file…");
  try {
    const get = async (name) => {
      const response = await fetch(new URL(name, location.href));
      if (!response.ok) throw new Error(`${name}: ${response.status}`);
      return response;
    };
    const [html, pageJs, velmoraJs, wasm, pictures2x] = await Promise.all([
      get("index.html").then((r) => r.text()), get("page.js").then((r) => r.text()),
      get("velmora.js").then((r) => r.text()), get("velmora.wasm").then((r) => r.arrayBuffer()),
      get("pictures-2x.pack").then((r) => r.arrayBuffer())]);
    const text = await assembleCardFile({ html, pageJs, velmoraJs, wasm, pictures2x, words: words() });
    const url = URL.createObjectURL(new Blob([text], { type: "text/html" }));
    const name = cardFileName(words());
    const a = document.createElement("a");
    a.href = url;
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
    say(`Your card is saved as ${name}. Open it in a browser, or attach it to an email.`);
  } catch (error) {
    console.warn(error);
    say("The card could not be made into a file. Please try again.");
  } finally {
    button.disabled = false;
  }
}

$("copy").addEventListener("click", copyLink);
$("download").addEventListener("click", download);
if (typeof navigator.share === "function") {
  $("share").hidden = false;
  $("share").addEventListener("click", share);
}
