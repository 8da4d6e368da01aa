// Makes the one-file card from a built site: the page, its script, the
// module and the pictures drawn at twice the size in one HTML file, with no
// words in it (app/web/card_file.js assembles it, as the write page does).
//
// usage: node make_card_file.mjs <site folder> <output file>
import { readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import { gzipSync, constants } from "node:zlib";
import { assembleCardFile, CARD_FILE_LIMIT } from "../../app/web/card_file.js";

const [site, output] = process.argv.slice(2);
if (!site || !output) {
  console.error("usage: node make_card_file.mjs <site folder> <output file>");
  process.exit(2);
}
const read = (name) => readFileSync(path.join(site, name));
const text = await assembleCardFile({
  html: read("index.html").toString("utf8"),
  pageJs: read("page.js").toString("utf8"),
  velmoraJs: read("velmora.js").toString("utf8"),
  wasm: read("velmora.wasm"),
  pictures2x: read("pictures-2x.pack"),
}, { gzip: async (bytes) => gzipSync(bytes, { level: constants.Z_BEST_COMPRESSION }) });
const size = Buffer.byteLength(text);
if (size > CARD_FILE_LIMIT) {
  console.error(`make_card_file: ${output} would be ${size} bytes, more than ${CARD_FILE_LIMIT}`);
  process.exit(1);
}
writeFileSync(output, text);
console.log(`card file: ${output}: ${size} bytes`);
