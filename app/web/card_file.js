// The card as one file: the page, its script, the module and the pictures
// drawn at twice the size in a single HTML file that plays from the disk or
// a mail attachment, with the sender's words inside it. Runs in the browser
// (the write page's "Download as one file") and in node 20
// (tools/web/make_card_file.mjs).
//
//   assembleCardFile({html, pageJs, velmoraJs, wasm, pictures2x, words}, {gzip}) -> Promise<string>
//     html, pageJs, velmoraJs: the site's index.html, page.js and
//     velmora.js as text; wasm, pictures2x: velmora.wasm and
//     pictures-2x.pack as ArrayBuffer or Uint8Array (the pictures drawn at
//     1x are inside the module); words: {to, message, from} or nothing.
//     gzip: bytes -> Promise<Uint8Array>, by default CompressionStream.
//   cardFileName(words) -> "velmora-card-for-anna.html" and the like
//   CARD_FILE_LIMIT -> the most bytes a card file may take (1.2 MB)
//
// The page's own script stays text in the file; the module, its script and
// the pack go in compressed (gzip, base64 in lines of 76) with their size
// and checksum, which embedded.js reads back and checks. The words go in a
// JSON block with "<", ">" and "&" escaped, so no word ends the block or
// becomes markup.

import { checksum } from "./embedded.js";
import { cleanWords, titleFor } from "./words.js";

export const CARD_FILE_LIMIT = 1200 * 1000;

async function compressionStreamGzip(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream("gzip"));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

function base64Lines(bytes) {
  let text = "";
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text).replace(/.{1,76}/g, "$&\n");
}

const escapeHtml = (text) => text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;");
// Script text in the page: nothing in it may close its element or open an
// HTML comment, which "<\/" and "<\!" spell out the same for JavaScript.
const scriptText = (code) => code.replace(/<\/(script)/gi, "<\\/$1").replace(/<!--/g, "<\\!--");

export function cardFileName(words) {
  const { to } = cleanWords(words);
  const slug = to.normalize("NFKD").toLowerCase().replace(/[^a-z0-9]+/g, "-").replace(/^-+|-+$/g, "").slice(0, 40);
  return slug ? `velmora-card-for-${slug}.html` : "velmora-card.html";
}

export async function assembleCardFile({ html, pageJs, velmoraJs, wasm, pictures2x, words }, { gzip = compressionStreamGzip } = {}) {
  const part = async (name, data) => {
    const bytes = typeof data === "string" ? new TextEncoder().encode(data) : new Uint8Array(data);
    const packed = await gzip(bytes);
    return `<script type="application/octet-stream" data-file="${name}" data-size="${bytes.length}" ` +
           `data-check="${checksum(bytes)}">\n${base64Lines(packed)}</script>\n`;
  };
  const clean = cleanWords(words);
  const json = JSON.stringify(clean).replace(/</g, "\\u003c").replace(/>/g, "\\u003e").replace(/&/g, "\\u0026");

  let page = String(html);
  const pageTag = page.match(/<script\b[^>]*\bsrc="page\.js"[^>]*>\s*<\/script>/);
  const pageIsModule = Boolean(pageTag && /type="module"/.test(pageTag[0]));
  page = page
    .replace(/<html\b/, "<html data-one-file")
    // What the file cannot hold: the site's other files it links and loads.
    .replace(/<link\b[^>]*\bhref="(?![a-z]+:)[^"]*"[^>]*>\s*/gi, "")
    .replace(/<script\b[^>]*\bsrc="(page|velmora)\.js"[^>]*>\s*<\/script>\s*/g, "")
    .replace(/<script\b[^>]*\bdata-site-only\b[^>]*>[\s\S]*?<\/script>\s*/g, "")
    .replace(/<img\b[^>]*\bdata-site-only\b[^>]*>\s*/g, "")
    .replace(/<title>[^<]*<\/title>/, (title) => `<title>${escapeHtml(titleFor(clean, title.slice(7, -8)))}</title>`);

  // The page's script before the parts: a file cut short still runs it,
  // and it says so, rather than leaving a blank page.
  const body = [
    `<script type="application/json" id="velmora-words">${json}</script>\n`,
    `<script${pageIsModule ? ' type="module"' : ""}>\n${scriptText(String(pageJs))}\n</script>\n`,
    await part("velmora.js", velmoraJs),
    await part("velmora.wasm", wasm),
    await part("pictures-2x.pack", pictures2x),
    // The end of the file: where it is missing the file was cut short.
    `<div id="velmora-card-end" hidden></div>\n`,
  ].join("");
  const end = page.lastIndexOf("</body>");
  if (end < 0) throw new Error("the page has no </body>");
  return page.slice(0, end) + body + page.slice(end);
}
