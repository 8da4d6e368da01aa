// The words a sender writes on the card: whom it is for, a message, whom it
// is from. They travel in the address's fragment (the part after #, which a
// browser never sends to a web host) or, in a one-file card, in a JSON block
// of the file; they are only ever shown as text.
//
//   readWords(hash)            -> {to, message, from} from "#to=Anna&message=...&from=Ben"
//   readEmbeddedWords(doc)     -> the same from <script type="application/json" id="velmora-words">,
//                                 or null where the page holds no such block
//   cleanWords(words)          -> the same, from any object (what a sender types)
//   wordsToFragment(words)     -> "to=Anna&message=...&from=Ben" (without the #)
//   hasWords(words)            -> whether any field is present
//   titleFor(words, fallback)  -> "A card for Anna from Ben", ... or fallback without words
//   showWords(words, elements) -> fills {to, message, from} elements as text, hides the absent
//   countCharacters(text)      -> characters as a reader counts them (graphemes)
//   cutCharacters(text, limit) -> the text's first `limit` such characters
//   LIMITS                     -> {to: 60, message: 500, from: 60}
//
// An absent field is "". Cleaning never throws: broken percent-encoding
// decodes what it can and drops the bytes that are not UTF-8 ("%E0%A4" is
// an unfinished character: dropped), while a "%" that starts no escape stays
// a "%" (as in "100% yours"); unpaired surrogates, control characters and the invisible
// characters that turn text's direction (embeddings, overrides, isolates,
// marks) are dropped; "+" is a space as in a form; a message keeps its line
// breaks, at most 8 lines (further lines join the eighth); a field is cut
// to its limit at a whole character, a character (a letter with its accents,
// an emoji with its modifiers) counting once but keeping at most 12 code
// points, so a letter under 1,000 accents still ends as bounded text; a
// field of nothing but spaces is absent.

export const LIMITS = Object.freeze({ to: 60, message: 500, from: 60 });
const FIELDS = ["to", "message", "from"];
const MAX_LINES = 8;
const MAX_CODE_POINTS_PER_CHARACTER = 12;

// Controls (but line breaks, handled first), the direction marks,
// embeddings, overrides and isolates, the byte-order mark, the interlinear
// annotation marks, and the replacement character that stands for bytes
// that were not UTF-8.
const DROPPED = /[\u0000-\u0009\u000B-\u001F\u007F-\u009F\u061C\u200E\u200F\u202A-\u202E\u2066-\u2069\uFEFF\uFFF9-\uFFFB\uFFFD]/g;
const UNPAIRED = /[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/g;
const INVISIBLE_ONLY = /^[\s\u200B-\u200D\u2060]*$/;

const segmenter = typeof Intl === "object" && typeof Intl.Segmenter === "function"
  ? new Intl.Segmenter(undefined, { granularity: "grapheme" }) : null;

// The text's characters as a reader sees them; without Intl.Segmenter, a
// code point with the marks and joined code points that follow it.
function characters(text) {
  if (segmenter) return Array.from(segmenter.segment(text), (s) => s.segment);
  return text.match(/[^\p{M}\u200D\uFE0F](?:[\p{M}\uFE0F]|\u200D[^\p{M}\u200D])*|[\s\S]/gu) || [];
}

export function countCharacters(text) {
  return characters(String(text)).length;
}

export function cutCharacters(text, limit) {
  // Only the start of a long text can be kept: segment no more of it than
  // the longest text the limit allows.
  const head = text.slice(0, limit * MAX_CODE_POINTS_PER_CHARACTER * 2);
  const kept = characters(head).slice(0, limit).map((c) => {
    const points = Array.from(c);
    return points.length > MAX_CODE_POINTS_PER_CHARACTER ? points.slice(0, MAX_CODE_POINTS_PER_CHARACTER).join("") : c;
  });
  return kept.join("");
}

function cleanField(value, field) {
  if (typeof value !== "string") return "";
  const limit = LIMITS[field];
  let text = value.slice(0, limit * MAX_CODE_POINTS_PER_CHARACTER * 4)
    .replace(UNPAIRED, "")
    .replace(/\r\n?|[\u2028\u2029\u0085]/g, "\n")
    .replace(/\t/g, " ")
    .replace(DROPPED, "");
  if (field === "message") {
    const lines = text.split("\n").map((line) => line.replace(/\s+$/u, ""));
    if (lines.length > MAX_LINES) lines.splice(MAX_LINES - 1, lines.length, lines.slice(MAX_LINES - 1).join(" "));
    text = lines.join("\n");
  } else {
    text = text.replace(/\s+/gu, " ");
  }
  text = cutCharacters(text.trim(), limit).trim();
  return INVISIBLE_ONLY.test(text) ? "" : text;
}

export function cleanWords(words) {
  const out = {};
  for (const field of FIELDS) out[field] = cleanField(words && typeof words === "object" ? words[field] : undefined, field);
  return out;
}

export function hasWords(words) {
  return FIELDS.some((field) => words && words[field]);
}

// Percent-decoding that never throws: "%XX" is a byte, anything else is its
// own UTF-8; the bytes decode as UTF-8 with what is not UTF-8 dropped.
function decodeComponent(text) {
  const bytes = [];
  const encoder = new TextEncoder();
  for (let i = 0; i < text.length; ) {
    if (text[i] === "%" && /^[0-9A-Fa-f]{2}$/.test(text.slice(i + 1, i + 3))) {
      bytes.push(parseInt(text.slice(i + 1, i + 3), 16));
      i += 3;
    } else {
      const point = text.codePointAt(i);
      const char = String.fromCodePoint(point);
      for (const b of encoder.encode(char === "+" ? " " : char)) bytes.push(b);
      i += char.length;
    }
  }
  return new TextDecoder("utf-8").decode(new Uint8Array(bytes)).replace(/\uFFFD/g, "");
}

export function readWords(hash) {
  const raw = {};
  const text = String(hash || "").replace(/^#/, "");
  for (const part of text.split("&")) {
    const equals = part.indexOf("=");
    if (equals < 0) continue;  // "bench" and other flags
    const key = part.slice(0, equals);
    // The first of a repeated field counts; a field is cut long before
    // decoding, so a 100 KB address costs nothing.
    if (FIELDS.includes(key) && !(key in raw))
      raw[key] = decodeComponent(part.slice(equals + 1, equals + 1 + LIMITS[key] * MAX_CODE_POINTS_PER_CHARACTER * 12));
  }
  return cleanWords(raw);
}

export function readEmbeddedWords(doc) {
  const block = doc.getElementById("velmora-words");
  if (!block) return null;
  try {
    return cleanWords(JSON.parse(block.textContent));
  } catch {
    return cleanWords(null);
  }
}

export function wordsToFragment(words) {
  const clean = cleanWords(words);
  return FIELDS.filter((field) => clean[field]).map((field) => `${field}=${encodeURIComponent(clean[field])}`).join("&");
}

export function titleFor(words, fallback) {
  const { to, from } = cleanWords(words);
  if (to && from) return `A card for ${to} from ${from}`;
  if (to) return `A card for ${to}`;
  if (from) return `A card from ${from}`;
  return fallback;
}

// elements: {to, message, from}, each an element (or missing). The words
// go in as text; each element takes its own direction from its words.
export function showWords(words, elements) {
  const clean = cleanWords(words);
  const text = { to: clean.to && `For ${clean.to}`, message: clean.message, from: clean.from && `from ${clean.from}` };
  for (const field of FIELDS) {
    const element = elements[field];
    if (!element) continue;
    element.textContent = text[field];
    element.dir = "auto";
    element.hidden = !text[field];
  }
  return clean;
}
