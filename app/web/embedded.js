// The one-file card (see card_file.js) carries the module, its script and
// the pictures drawn at twice the size inside the page, gzip-compressed and
// in base64; this reads them back where the site would fetch them.
//
//   isOneFileCard(doc)        -> whether the page is a one-file card
//   embeddedFile(name, doc)   -> null where the page is not a one-file card,
//                                else Promise<ArrayBuffer> of the file's bytes
//                                ("velmora.wasm", "pictures-2x.pack", "velmora.js")
//   runEmbeddedScript(name, doc) -> null, or Promise that resolves once the
//                                script ("velmora.js") has run in the page
//   cardFileProblem(error)    -> the one line to show for an error the two
//                                above rejected with, or null for other errors
//   DAMAGED_LINE              -> "This card file is damaged"
//
// A file cut short (it lacks the end mark the file closes with) or changed
// on its way (a mail gateway that trims or rewrites it) fails to decode,
// decompress, or match the size and checksum each part carries: the promise rejects with an error whose line is
// DAMAGED_LINE, never a raw exception's text.
//
// Decompressing needs DecompressionStream: Chrome and Edge 80, Firefox 113,
// Safari 16.4. An older browser gets a line asking for a newer one.

export const DAMAGED_LINE = "This card file is damaged";
export const OLD_BROWSER_LINE = "This card file needs a newer browser; please open it in a current one.";

class CardFileError extends Error {
  constructor(line, detail) {
    super(detail ? `${line} (${detail})` : line);
    this.cardFileLine = line;
  }
}

export function cardFileProblem(error) {
  return error && typeof error.cardFileLine === "string" ? error.cardFileLine : null;
}

export function isOneFileCard(doc = document) {
  return doc.documentElement.hasAttribute("data-one-file");
}

// FNV-1a, 32 bits: a checksum cheap enough for a megabyte, written with the
// parts by card_file.js.
export function checksum(bytes) {
  let hash = 0x811c9dc5;
  for (let i = 0; i < bytes.length; i++) hash = Math.imul(hash ^ bytes[i], 0x01000193);
  return (hash >>> 0).toString(16).padStart(8, "0");
}

async function decode(block, name) {
  if (!block) throw new CardFileError(DAMAGED_LINE, `${name} is missing`);
  if (typeof DecompressionStream !== "function") throw new CardFileError(OLD_BROWSER_LINE);
  let binary;
  try {
    binary = atob(block.textContent);  // line breaks and spaces are skipped
  } catch {
    throw new CardFileError(DAMAGED_LINE, `${name} is not base64`);
  }
  const packed = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) packed[i] = binary.charCodeAt(i);
  let bytes;
  try {
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream("gzip"));
    bytes = new Uint8Array(await new Response(stream).arrayBuffer());
  } catch {
    throw new CardFileError(DAMAGED_LINE, `${name} does not decompress`);
  }
  if (String(bytes.length) !== block.dataset.size || checksum(bytes) !== block.dataset.check)
    throw new CardFileError(DAMAGED_LINE, `${name} does not match its size and checksum`);
  return bytes.buffer;
}

const blockFor = (doc, name) =>
  [...doc.querySelectorAll("script[data-file]")].find((block) => block.dataset.file === name) || null;

export function embeddedFile(name, doc = document) {
  if (!isOneFileCard(doc)) return null;
  // A file cut short is damaged even where the part asked for came whole.
  if (!doc.getElementById("velmora-card-end")) return Promise.reject(new CardFileError(DAMAGED_LINE, "the file is cut short"));
  return decode(blockFor(doc, name), name);
}

export function runEmbeddedScript(name, doc = document) {
  const bytes = embeddedFile(name, doc);
  if (!bytes) return null;
  return bytes.then((buffer) => {
    const script = doc.createElement("script");
    script.textContent = new TextDecoder().decode(buffer);
    doc.body.appendChild(script);
  });
}
