// The README's pictures of sending the card, taken in headless chromium
// from a built site: the write page with a card being written, and the card
// with its words as the recipient sees it on a phone. Run by
// scripts/pictures.sh; uses the browser test's puppeteer-core (tests/web).
//
// usage: node screenshots.mjs <site folder> <output folder>
import { readFileSync, existsSync } from "node:fs";
import http from "node:http";
import { createRequire } from "node:module";
import path from "node:path";

const [siteArg, out] = process.argv.slice(2);
if (!siteArg || !out) {
  console.error("usage: node screenshots.mjs <site folder> <output folder>");
  process.exit(2);
}
const site = path.resolve(siteArg);
const require = createRequire(new URL("../../tests/web/package.json", import.meta.url));
const { default: puppeteer } = await import(require.resolve("puppeteer-core"));

const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };
const server = http.createServer((req, res) => {
  const file = path.join(site, path.normalize(new URL(req.url, "http://localhost").pathname));
  if (!file.startsWith(site) || !existsSync(file)) return res.writeHead(404).end();
  res.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" }).end(readFileSync(file));
});
await new Promise((r) => server.listen(0, "127.0.0.1", r));
const origin = `http://127.0.0.1:${server.address().port}`;
const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium", headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--force-color-profile=srgb", "--hide-scrollbars"] });
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const words = { to: "Mum", message: "Happy Velmora!\nThinking of you today, and looking forward to Sunday.", from: "Anna" };
try {
  const card = await browser.newPage();
  await card.setViewport({ width: 400, height: 720 });
  await card.goto(`${origin}/index.html#to=${words.to}&message=${encodeURIComponent(words.message)}&from=${words.from}`);
  await card.waitForFunction(() => document.querySelector("#stage canvas")?.style.display === "block");
  await sleep(2500);  // the flame past its first frames
  await card.screenshot({ path: path.join(out, "card-words.webp"), type: "webp", quality: 80 });

  const write = await browser.newPage();
  await write.setViewport({ width: 1100, height: 720 });
  await write.goto(`${origin}/write.html`);
  for (const field of ["to", "message", "from"]) await write.type(`#${field}`, words[field]);
  await sleep(2500);
  await write.screenshot({ path: path.join(out, "write.webp"), type: "webp", quality: 80 });
} finally {
  await browser.close();
  server.close();
}
