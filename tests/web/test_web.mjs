// The card in a real browser: Debian's chromium, headless, driven by
// puppeteer-core, on the site scripts/web.sh builds, served from this
// process. The native program on the headless backend draws the reference
// pictures (velmora_pictures), so the page must show the very same pixels.
//
// usage: node test_web.mjs <site folder> <velmora_pictures executable>
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, existsSync, writeFileSync } from "node:fs";
import http from "node:http";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";

const [siteArg, picturesTool] = process.argv.slice(2);
if (!siteArg || !picturesTool) {
  console.error("usage: node test_web.mjs <site folder> <velmora_pictures executable>");
  process.exit(2);
}
const site = path.resolve(siteArg);
const scratch = mkdtempSync(path.join(tmpdir(), "velmora-web-"));
let failures = 0;
function check(ok, what) {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
  if (!ok) failures++;
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The flame strip (x 159 to 184, y 36 to 231) widened to the 8 x 8 JPEG
// blocks it touches: the only pixels of the card that change with the frame.
const STRIP = { x0: 152, x1: 192, y0: 32, y1: 240 };
const inStrip = (x, y) => x >= STRIP.x0 && x < STRIP.x1 && y >= STRIP.y0 && y < STRIP.y1;

// ------------------------------------------------------------- server

const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm",
                ".ico": "image/x-icon", ".pack": "application/octet-stream", ".png": "image/png",
                ".jpg": "image/jpeg", ".webmanifest": "application/manifest+json", ".webp": "image/webp" };
const stalled = new Set();  // addresses answered with headers and a first part, then nothing
const held = [];            // their responses, ended when the test ends
const requests = [];
const everyRequest = [];  // each request's address and body, to look for the sender's words in
const server = http.createServer((req, res) => {
  const url = new URL(req.url, "http://localhost");
  requests.push(url.pathname);
  req.on("data", (chunk) => everyRequest.push(chunk.toString()));
  everyRequest.push(req.url);
  // The site also answers under a folder, as on a host that serves it from one.
  const local = url.pathname.replace(/^\/sub\/card(?=\/)/, "");
  const file = path.join(site, path.normalize(local === "/" ? "/index.html" : local));
  if (!file.startsWith(site) || !existsSync(file)) {
    res.writeHead(404).end();
    return;
  }
  res.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
  if (stalled.has(url.pathname)) {
    res.write(readFileSync(file).subarray(0, 1024));
    held.push(res);
    return;
  }
  res.end(readFileSync(file));
});
await new Promise((r) => server.listen(0, "127.0.0.1", r));
const origin = `http://127.0.0.1:${server.address().port}`;

// --------------------------------------------------------- references

execFileSync(picturesTool, [scratch, "1"], { stdio: "ignore" });
const reference = (name) => readFileSync(path.join(scratch, name)).toString("base64");

// ------------------------------------------------------------ browser

const browser = await puppeteer.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  userDataDir: path.join(scratch, "profile"),
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--force-color-profile=srgb",
         // Nothing leaves the machine, not even the tab a link opens.
         "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"],
});

async function open(viewport, prepare) {
  const page = await browser.newPage();
  await prepare?.(page);
  page.on("pageerror", (e) => check(false, `no error in the page: ${e.message}`));
  page.on("request", (r) => {
    if (!r.url().startsWith(origin) && !r.url().startsWith("data:")) check(false, `request to another host: ${r.url()}`);
  });
  await page.setViewport(viewport);
  requests.length = 0;
  await page.goto(`${origin}/index.html`);
  await page.waitForFunction(() => document.querySelector("#stage canvas")?.style.display === "block",
                             { timeout: 10000 });
  return page;
}

// The windows' canvases in the page, in creation order: CSS box and
// backing store, and the pixels (RGBA, base64) when asked.
function windows(page, withPixels = false) {
  return page.evaluate(async (withPixels) => {
    return [...document.querySelectorAll("#stage canvas")].filter((c) => c.style.display === "block").map((c) => {
      const r = c.getBoundingClientRect();
      const out = { left: r.left, top: r.top, width: r.width, height: r.height, bw: c.width, bh: c.height,
                    x: parseFloat(c.style.left), y: parseFloat(c.style.top), z: Number(c.style.zIndex) };
      if (withPixels) {
        const d = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
        let s = "";
        for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode(...d.subarray(i, i + 0x8000));
        out.pixels = btoa(s);
      }
      return out;
    });
  }, withPixels);
}
const bytes = (b64) => Buffer.from(b64, "base64");

// A PNG decoded by the browser, without colour conversion.
function decodePng(page, b64) {
  return page.evaluate(async (b64) => {
    const blob = await (await fetch(`data:image/png;base64,${b64}`)).blob();
    const image = await createImageBitmap(blob, { colorSpaceConversion: "none", premultiplyAlpha: "none" });
    const c = new OffscreenCanvas(image.width, image.height);
    const g = c.getContext("2d");
    g.drawImage(image, 0, 0);
    const d = g.getImageData(0, 0, image.width, image.height).data;
    let s = "";
    for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode(...d.subarray(i, i + 0x8000));
    return { width: image.width, pixels: btoa(s) };
  }, b64);
}

// Pixels of a window (w x h, RGBA) that differ from the reference at the
// window's place in it (ox, oy), where `counted` says so.
function differences(win, ref, ox, oy, counted) {
  const a = bytes(win.pixels), b = bytes(ref.pixels);
  const found = [];
  for (let y = 0; y < win.bh; y++)
    for (let x = 0; x < win.bw; x++) {
      if (!counted(x, y, a[(y * win.bw + x) * 4 + 3])) continue;
      const i = (y * win.bw + x) * 4, j = ((y + oy) * ref.width + x + ox) * 4;
      if (a[i] !== b[j] || a[i + 1] !== b[j + 1] || a[i + 2] !== b[j + 2] || a[i + 3] !== b[j + 3]) found.push([x, y]);
    }
  return found;
}

// Clicks at a point of a window given in its own CSS pixels.
async function clickIn(page, win, x, y, options) {
  await page.mouse.click(win.left + x, win.top + y, options);
}
const ended = (page) => page.waitForFunction(() => !document.getElementById("reopen").hidden &&
                                             !document.querySelector("#stage canvas"), { timeout: 5000 });

// ------------------------------------------------------- sending the card

const WORD_BOXES = ["#words-to", "#words-message", "#words-from"];
const MARK = "Qz7";  // in every hostile word, to look for in requests

// The words as the page shows them, the card's box, and what markup the
// page holds, at the moment of asking.
const shownWords = (page) => page.evaluate((ids) => ({
  boxes: ids.map((id) => {
    const e = document.querySelector(id), r = e.getBoundingClientRect();
    return { text: e.textContent, hidden: e.hidden, dir: e.dir, left: r.left, right: r.right, top: r.top, bottom: r.bottom };
  }),
  card: (() => { const r = document.querySelector("#stage canvas").getBoundingClientRect();
    return { left: r.left, right: r.right, top: r.top, bottom: r.bottom, width: r.width }; })(),
  markup: document.querySelectorAll("img, iframe, object, embed").length + document.scripts.length,
  title: document.title, width: innerWidth, height: innerHeight,
}), WORD_BOXES);
const overlap = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;

// Hostile words in the address end as harmless text, cut, or absent, laid
// out around the card on a small phone, and never reach the host.
async function hostileWords() {
  const plain = await open({ width: 320, height: 480 });
  const baseline = await shownWords(plain);
  await plain.close();
  const enc = encodeURIComponent;
  for (const [what, word] of [
    ["markup", enc(`<img src=x onerror=alert(1)>${MARK}`)], ["a closing script tag", enc(`</script><script>alert(1)</script>${MARK}`)],
    ["100 KB of text", enc(MARK + "word ".repeat(20000))], ["broken percent-encoding", `%E0%A4%A${MARK}%E0%A4`],
    ["encoded surrogates", `%ED%A0%80${MARK}%ED%B0%80`], ["1,000 combining marks", enc(`e${"\u0301".repeat(1000)}${MARK}`)],
    ["direction overrides", enc(`\u202E\u2066${MARK}\u200F\u2069`)], ["only spaces", "%20%20+%E3%80%80"]]) {
    everyRequest.length = 0;
    const errors = [];
    const page = await browser.newPage();
    page.on("console", (m) => m.type() === "error" && errors.push(m.text()));
    await page.setViewport({ width: 320, height: 480 });
    await page.goto(`${origin}/index.html#to=${word}&message=${word}%0A${word}&from=${word}`);
    await page.waitForFunction(() => document.querySelector("#stage canvas")?.style.display === "block", { timeout: 10000 });
    await sleep(300);
    const shown = await shownWords(page);
    const texts = shown.boxes.filter((b) => !b.hidden);
    const empty = what === "only spaces";
    check(shown.markup === baseline.markup && errors.length === 0 &&
          texts.every((b) => b.dir === "auto" && b.text.length <= 4 + 500 * 12 && b.left >= 0 && b.right <= shown.width &&
                      !/[\u202A-\u202E\u2066-\u2069\u200E\u200F\uFFFD]|[\uD800-\uDBFF](?![\uDC00-\uDFFF])/.test(b.text)) &&
          (empty ? texts.length === 0 && shown.title === baseline.title
                 : texts.length === 3 && texts.every((b) => b.text.includes(MARK)) && /^A card for .* from /.test(shown.title)),
          `words with ${what} are shown as bounded text within the page, or not at all (${errors.join("; ")})`);
    check(shown.card.width >= 333 / 2 - 1 && shown.card.bottom <= shown.height && texts.every((b) => !overlap(b, shown.card)) &&
          texts.every((b, i) => i === 0 || !overlap(b, texts[i - 1])),
          `with ${what} the card (${Math.round(shown.card.width)} wide) and the words fit a 320 x 480 screen side by side`);
    check(!everyRequest.some((r) => r.includes(MARK)), `words with ${what} never reach the host`);
    await page.close();
  }
}

// The write page under a folder of the host: the link it copies, its
// fallbacks where the clipboard or sharing is refused, and the card as one
// file, opened from the disk with the network shut, whole and damaged.
async function writeAndSend() {
  const page = await browser.newPage();
  page.on("pageerror", (e) => check(false, `no error in the write page: ${e.message}`));
  await page.evaluateOnNewDocument(() => {
    navigator.clipboard.writeText = () => Promise.reject(new DOMException("refused", "NotAllowedError"));
    navigator.share = () => Promise.reject(new DOMException("closed", window.shareFails || "AbortError"));
  });
  await page.goto(`${origin}/sub/card/write.html`);
  await page.type("#to", "Anna");
  await page.type("#message", `Happy Velmora!\n</script> ${MARK}`);
  await page.type("#from", "Ben");
  const link = `${origin}/sub/card/index.html#to=Anna&message=${encodeURIComponent(`Happy Velmora!\n</script> ${MARK}`)}&from=Ben`;
  await page.click("#copy");
  const box = () => page.evaluate(() => ({ shown: !document.getElementById("link-box").hidden, value: document.getElementById("link").value,
    selected: document.activeElement.id === "link" && document.activeElement.selectionEnd === document.activeElement.value.length,
    count: document.getElementById("to-count").textContent, status: document.getElementById("status").textContent }));
  let state = await box();
  check(state.shown && state.value === link && state.selected && state.count === "4 / 60",
        `a refused clipboard shows the link, built under the site's folder, selected (${state.value})`);
  await page.evaluate(() => { document.getElementById("link-box").hidden = true; });
  await page.click("#share");
  await sleep(200);
  check(!(await box()).shown, "closing the share sheet says nothing");
  await page.evaluate(() => { window.shareFails = "NotAllowedError"; });
  await page.click("#share");
  await sleep(200);
  check((await box()).shown, "a refused share shows the link to copy");
  await page.evaluate(() => Object.defineProperty(navigator, "clipboard", { value: undefined }));
  await page.click("#copy");
  check((await box()).shown, "without a clipboard the link is shown to copy");
  check(await page.$eval("#preview-frame", (f) => f.contentDocument.getElementById("words-to").textContent === "For Anna"),
        "the preview shows the words as typed");

  // Download: the file lands in a folder; opened from there with every
  // request but the file's own refused, it plays with the words.
  const folder = path.join(scratch, "downloads");
  const cdp = await page.createCDPSession();
  await cdp.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: folder });
  await page.click("#download");
  const file = path.join(folder, "velmora-card-for-anna.html");
  for (let i = 0; i < 100 && !(existsSync(file) && (await box()).status.includes("saved")); i++) await sleep(100);
  const text = existsSync(file) ? readFileSync(file, "utf8") : "";
  check(text.length > 0 && Buffer.byteLength(text) <= 1200 * 1000, `the one file is made, at most 1.2 MB (${Buffer.byteLength(text)} bytes)`);
  await page.close();
  await openCardFile(browser, file, "chromium", [MARK, "For Anna"]);
  for (const [what, damage] of [["cut short", (t) => t.slice(0, t.length * 0.7)],
                                ["changed in transit", (t) => t.replace(/(data-file="velmora.wasm"[^>]*>\n(?:.*\n){200}.{10})(.)/, (_, a, c) => a + (c === "A" ? "B" : "A"))]]) {
    const damaged = path.join(folder, `damaged-${what.replace(/ /g, "-")}.html`);
    writeFileSync(damaged, damage(text));
    await openCardFile(browser, damaged, "chromium", ["This card file is damaged"], what);
  }
  return file;
}

// Opens a one-file card over file:// with the network shut; it must play
// the card and show `expected`, or, damaged, show only the line expected.
async function openCardFile(where, file, name, expected, damaged) {
  const page = await where.newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(e.message));
  await page.setRequestInterception(true);
  page.on("request", (r) => {
    if (/^(file|data|blob):/.test(r.url())) return r.continue();
    errors.push(`request to ${r.url()}`);
    return r.abort();
  });
  await page.goto(`file://${file}`);
  const ok = await page.waitForFunction((damaged) => damaged ? !document.getElementById("message").hidden
    : document.querySelector("#stage canvas")?.style.display === "block", { timeout: 20000 }, Boolean(damaged)).then(() => true, () => false);
  const seen = await page.evaluate(() => document.body.innerText);
  check(ok && errors.length === 0 && expected.every((t) => seen.includes(t)) && (!damaged || !/Error|undefined/.test(seen)),
        `in ${name}, the one-file card ${damaged ? `${damaged} says only that it is damaged` : "plays from the disk, offline, with its words"} (${errors.join("; ")})`);
  await page.close();
}

// The card file in Firefox, and the site opened from the disk.
async function fromTheDisk(file) {
  const firefox = await puppeteer.launch({ browser: "firefox", executablePath: "/usr/bin/firefox-esr", headless: true,
                                           userDataDir: path.join(scratch, "firefox") });
  try {
    await openCardFile(firefox, file, "Firefox", ["For Anna"]);
  } finally {
    await firefox.close();
  }
  // The card file the build makes (the release's), without words of its
  // own, takes them from its address.
  await openCardFile(browser, `${path.join(site, "..", "velmora-card.html")}#to=Mum`, "chromium, the build's card file", ["For Mum"]);
  const page = await browser.newPage();
  await page.goto(`file://${site}/index.html`);
  const line = await page.$eval("#needs-server", (e) => (e.offsetHeight ? e.textContent : ""));
  check(/web site.*one-file card: velmora-[0-9.]+-card\.html/s.test(line), `the site opened from the disk says it needs a web site (${line})`);
  await page.close();
}

// Link preview tags, the preview picture, the icons and the manifest.
async function previewAndIcons() {
  const page = await browser.newPage();
  await page.goto(`${origin}/index.html`);
  const found = await page.evaluate(async () => {
    const meta = (key) => document.querySelector(`meta[property="${key}"], meta[name="${key}"]`)?.content || "";
    const size = async (url) => {
      const response = await fetch(url);
      if (!response.ok) return "missing";
      const image = await createImageBitmap(await response.blob());
      return `${image.width}x${image.height}`;
    };
    const manifest = await (await fetch(document.querySelector('link[rel="manifest"]').href)).json();
    const icons = await Promise.all([...document.querySelectorAll('link[rel~="icon"][type], link[rel="apple-touch-icon"]')]
      .map(async (l) => [l.getAttribute("href"), await size(l.href), l.sizes.value]));
    const listed = await Promise.all(manifest.icons.map(async (i) => [i.src, await size(new URL(i.src, location.href)), i.sizes, i.purpose]));
    return { image: await size(new URL(meta("og:image"), location.href)), alt: meta("og:image:alt"), title: meta("og:title"),
             description: meta("og:description"), card: meta("twitter:card"), icons, listed, manifest };
  });
  check(found.image === "1200x630" && found.alt && found.title && found.description && found.card === "summary_large_image",
        `the page has link preview tags and a 1200 x 630 picture (${found.image})`);
  check(found.icons.length >= 2 && found.icons.every(([, size, sizes]) => size !== "missing" && (!sizes || size === sizes)) &&
        found.listed.length >= 3 && found.listed.every(([, size, sizes]) => size === sizes) &&
        found.listed.some(([, , , purpose]) => purpose === "maskable") && found.manifest.start_url === "./index.html",
        `the icons and the manifest's icons exist at their stated sizes (${JSON.stringify([found.icons, found.listed])})`);
  await page.close();
}

// ------------------------------------------- keyboard and screen readers

const CARD = "Greeting card: a lit candle before a glowing cross, Happy Velmora";
const GREETING = "I Am the Resurrection and the Life";
const axeSource = readFileSync(createRequire(import.meta.url).resolve("axe-core/axe.min.js"), "utf8");

async function axeClean(page, when) {
  if (!(await page.evaluate(() => !!window.axe))) await page.addScriptTag({ content: axeSource });
  const found = await page.evaluate(async () => (await window.axe.run(document)).violations.map(
    (v) => `${v.id}: ${v.nodes.map((n) => n.target.join(" ")).join(", ")}`));
  check(found.length === 0, `axe finds nothing ${when} (${found.join("; ")})`);
}

// The accessibility tree as "role:name", what a screen reader is given.
async function axTree(page) {
  const cdp = await page.createCDPSession();
  const { nodes } = await cdp.send("Accessibility.getFullAXTree");
  await cdp.detach();
  return nodes.filter((n) => !n.ignored).map((n) => `${n.role?.value}:${n.name?.value ?? ""}`);
}

const focused = (page) => page.evaluate(() => {
  const e = document.activeElement;
  return `${e.getAttribute("role") ?? e.tagName.toLowerCase()}:${e.getAttribute("aria-label") ?? e.textContent}`;
});
const waitFor = (page, what, fn, arg, timeout = 5000) => page.waitForFunction(fn, { timeout }, arg).then(() => true, () => {
  check(false, what);
  return false;
});

// The whole card by keyboard alone, with axe and the accessibility tree
// looked at in each state.
async function keyboardOnly() {
  const page = await open({ width: 800, height: 600, deviceScaleFactor: 1 });
  const key = async (name, times = 1) => { for (let i = 0; i < times; i++) await page.keyboard.press(name); };
  await axeClean(page, "while the card plays");
  let tree = await axTree(page);
  check(tree.includes(`image:${CARD}`) && !tree.includes("button:About Velmora"),
        "the card is an image with its name; its hidden buttons are not in the tree");
  await key("Tab");
  check((await focused(page)) === `img:${CARD}`, "Tab reaches the card");
  await key("Enter");
  await waitFor(page, "Enter on the card shows its buttons", () => document.querySelectorAll(".velmora-item:not([hidden])").length === 2);
  await axeClean(page, "with the card's buttons shown");
  tree = await axTree(page);
  check(tree.includes("button:Close the card") && tree.includes("button:About Velmora"), "the shown buttons are in the tree by name");
  await key("Tab");
  const onClose = await focused(page);
  await sleep(4500);
  check(onClose === "button:Close the card" && (await page.$$(".velmora-item:not([hidden])")).length === 2,
        `the buttons stay shown while the focus is on one (${onClose})`);
  await key("Tab");
  check((await focused(page)) === "button:About Velmora", "Tab moves on to About");
  await key("Enter");
  await waitFor(page, "Enter on About opens it", () => document.querySelector('[role="dialog"]')?.checkVisibility());
  await sleep(300);
  check((await focused(page)) === "link:www.velmora.example/studio", "About takes the focus on its first link");
  tree = await axTree(page);
  check(["dialog:About Velmora, version 2.1", "link:www.velmora.example/studio", "link:www.velmora.example", "button:Close"]
        .every((n) => tree.includes(n)), "About is a dialog with its name, its two links and its close button");
  await axeClean(page, "with About open");
  const cycle = [];
  for (const shift of [false, false, false, true]) {
    await (shift ? page.keyboard.down("Shift").then(() => key("Tab")).then(() => page.keyboard.up("Shift")) : key("Tab"));
    cycle.push((await focused(page)).split(":")[1]);
  }
  check(cycle.join() === "www.velmora.example,Close,www.velmora.example/studio,Close",
        `Tab and Shift+Tab stay inside About (${cycle})`);
  await key("Tab", 2);
  const tab = new Promise((resolve) => browser.once("targetcreated", resolve));
  await key("Enter");
  const target = await Promise.race([tab, sleep(3000).then(() => null)]);
  check(target?.url().replace(/\/$/, "") === "https://www.velmora.example", `Enter on a link opens it (${target?.url()})`);
  if (target) await (await target.page())?.close();
  await page.bringToFront();
  await key("Escape");
  await waitFor(page, "Escape closes About", () => document.querySelectorAll("#stage canvas").length === 1);
  check((await focused(page)) === `img:${CARD}`, "the focus is back on the card");
  await key("Enter");
  await waitFor(page, "Enter shows the buttons again", () => document.querySelectorAll(".velmora-item:not([hidden])").length === 2);
  await key("Tab");
  await key("Enter");
  if (await waitFor(page, "Enter on Close ends the card", () => !document.querySelector("#stage canvas"))) {
    check((await focused(page)) === "button:Open the card again", "the control to open the card again has the focus");
    await axeClean(page, "after the card has ended");
    await sleep(600);
    await key("Enter");
    if (await waitFor(page, "Enter opens the card again", () => document.querySelector("#stage canvas")?.style.display === "block"))
      check((await focused(page)) === `img:${CARD}`, "the card opened again has the focus");
  }
  await page.close();
}

// Less motion: the face holds still through the shake (the panel comes at
// 21 s), the page's fade is off, and the greeting is read aloud once unrolled.
async function reducedMotion(cardRef) {
  const page = await open({ width: 800, height: 600, deviceScaleFactor: 1 },
                          (p) => p.emulateMediaFeatures([{ name: "prefers-reduced-motion", value: "reduce" }]));
  const start = Date.now(), moved = [];
  // The shake moves the face by a pixel or two, or none on some ticks:
  // many looks make sure one would see it.
  for (let at = 18400; at <= 20600; at += 200) {
    await sleep(start + at - Date.now());
    moved.push(differences((await windows(page, true))[0], cardRef, 0, 0, (x, y) => !inStrip(x, y)).length);
  }
  check(moved.length > 8 && moved.every((n) => n === 0),
        `under reduced motion the face holds still in the shake (${moved} pixels differ from rest)`);
  check((await page.$eval("#reopen", (e) => getComputedStyle(e).animationName)) === "none", "the page's fade is off under reduced motion");
  await waitFor(page, "the greeting goes into the live region", (g) => document.querySelector('[aria-live="polite"]')?.textContent === g, GREETING, 15000);
  check((await axTree(page)).includes(`StaticText:${GREETING}`), "the greeting is in the accessibility tree");
  await page.close();
}

// ------------------------------------------- phones, first sight, failures

const PHONE = { width: 412, height: 823, deviceScaleFactor: 2, isMobile: true, hasTouch: true };

// A drag on the backdrop of a phone leaves the page where it is: nothing
// is wider or taller than the viewport; the message box still scrolls by
// touch; "bench" inside the words is no fragment key.
async function phoneDrag() {
  const page = await browser.newPage();
  await page.setViewport(PHONE);
  await page.goto(`${origin}/index.html#to=Mum&message=${encodeURIComponent("bench ".repeat(80))}&from=Anna`);
  await page.waitForFunction(() => document.querySelector("#stage canvas")?.style.display === "block", { timeout: 10000 });
  const drag = async (x0, y0, x1, y1) => {
    const touch = await page.touchscreen.touchStart(x0, y0);
    for (let i = 1; i <= 8; i++) await touch.move(x0 + ((x1 - x0) * i) / 8, y0 + ((y1 - y0) * i) / 8);
    await touch.end();
    await sleep(400);
  };
  const where = () => page.evaluate(() => ({ sx: document.scrollingElement.scrollLeft, sy: document.scrollingElement.scrollTop,
    vx: visualViewport.offsetLeft, vy: visualViewport.offsetTop, zoom: visualViewport.scale, width: innerWidth,
    wide: document.documentElement.scrollWidth, scrolled: document.getElementById("words-message").scrollTop,
    card: document.querySelector("#stage canvas").getBoundingClientRect().toJSON(), title: document.title }));
  await drag(20, 800, 400, 40);  // bottom left corner to top right, over the backdrop
  await drag(400, 300, 10, 700);
  const after = await where();
  check(after.sx === 0 && after.sy === 0 && after.vx === 0 && after.vy === 0 && after.zoom === 1 && after.width === 412 &&
        after.wide === 412 && after.card.left >= 0 && after.card.right <= 412 && after.card.top >= 0,
        `a touch drag on a 412 x 823 phone pans nothing: the card stays in view (${JSON.stringify(after)})`);
  await page.setViewport({ ...PHONE, width: 823, height: 412 });  // turned, where the message box scrolls
  await sleep(300);
  const turned = await where();
  const box = await page.$eval("#words-message", (e) => e.getBoundingClientRect().toJSON());
  await drag(box.left + box.width / 2, box.bottom - 5, box.left + box.width / 2, box.top + 5);
  check(turned.wide === 823 && (await where()).scrolled > 0 && !/first_frame_ms/.test(after.title),
        "the message box scrolls by touch, and \"bench\" in the message is no fragment key");
  await page.close();
}

// Before the module arrives the page shows the card's first frame as a
// picture, where the card will be, with the glow's centre on it; the
// program's first frame equals the tool's picture and replaces it in place.
async function posterFirst(dpr) {
  const page = await browser.newPage();
  await page.setViewport({ ...PHONE, deviceScaleFactor: dpr });
  await page.setRequestInterception(true);
  let release;
  const module = new Promise((r) => (release = r));
  page.on("request", (r) => (r.url().endsWith(".wasm") ? module.then(() => r.continue()) : r.continue()));
  await page.evaluateOnNewDocument(() => {
    window.base64 = (d) => {
      let s = "";
      for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode(...d.subarray(i, i + 0x8000));
      return btoa(s);
    };
    // The canvas at the moment the poster goes: the program's first frame.
    new MutationObserver(() => {
      const poster = document.getElementById("poster"), canvas = document.querySelector("#stage canvas");
      if (!poster?.hidden || window.firstFrame || !canvas) return;
      const d = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
      window.firstFrame = { box: canvas.getBoundingClientRect().toJSON(), bw: canvas.width, bh: canvas.height, pixels: window.base64(d) };
    }).observe(document, { subtree: true, attributes: true, attributeFilter: ["hidden"] });
  });
  requests.length = 0;
  await page.goto(`${origin}/index.html`);
  await page.waitForFunction(() => document.getElementById("poster").complete, { timeout: 5000 });
  await sleep(300);
  const fetched = [...requests];
  const poster = await page.evaluate(async () => {
    const img = document.getElementById("poster"), r = img.getBoundingClientRect(), style = getComputedStyle(document.documentElement);
    const image = await createImageBitmap(await (await fetch(img.currentSrc)).blob());
    const c = new OffscreenCanvas(image.width, image.height), g = c.getContext("2d");
    g.drawImage(image, 0, 0);
    const d = g.getImageData(0, 0, c.width, c.height).data;
    return { box: r.toJSON(), natural: c.width, pixels: window.base64(d), canvases: document.querySelectorAll("#stage canvas").length,
             glow: [parseFloat(style.getPropertyValue("--card-x")), parseFloat(style.getPropertyValue("--card-y"))] };
  });
  check(poster.canvases === 0 && poster.natural === 333 * dpr && poster.box.width === 333 &&
        Math.abs(poster.box.left + poster.box.width / 2 - poster.glow[0]) <= 1 && Math.abs(poster.box.top + poster.box.height / 2 - poster.glow[1]) <= 1 &&
        fetched.filter((r) => r.includes("poster")).length === 1,
        `at ${dpr}x the poster shows before the module, alone of its two sizes, with the glow centred on it (${JSON.stringify(poster.box)}, ${fetched})`);
  release();
  await page.waitForFunction(() => window.firstFrame, { timeout: 10000 });
  const first = await page.evaluate(() => window.firstFrame);
  const ref = await decodePng(page, reference(dpr === 1 ? "poster.png" : "poster@2x.png"));
  const exact = differences(first, ref, 0, 0, () => true);
  const a = bytes(first.pixels), b = bytes(poster.pixels);
  let off = 0;
  for (let i = 0; i < a.length; i++) if (Math.abs(a[i] - b[i]) > 24) off++;
  check(exact.length === 0 && Math.abs(first.box.left - poster.box.left) < 0.01 && Math.abs(first.box.top - poster.box.top) < 0.01 &&
        off < a.length / 500, `at ${dpr}x the program's first frame is the tool's poster exactly (${exact.length} differ), ` +
        `the WebP within its loss (${off} channels off by more than 24), at the poster's place`);
  check(dpr === 1 || requests.filter((r) => r.endsWith("pictures-2x.pack")).length === 1,
        "the program takes the pictures drawn at twice the size from the page's early download, fetched once");
  await page.close();
}

// A file of the site missing, damaged or stalled: one sentence and a way to
// try again over the poster, in the time a file may keep the page waiting
// (shortened for the test); never the error's own text. The pictures drawn
// at twice the size are not needed to start: without them the card starts.
async function failuresSaySo() {
  const wasm = readFileSync(path.join(site, "velmora.wasm"));
  for (const [name, answer] of [["page.js", 404], ["page.js", "silent"], ["velmora.js", 404], ["velmora.js", "stall"], ["velmora.wasm", 404],
    ["velmora.wasm", "half"], ["velmora.wasm", "stall"], ["velmora.wasm", "silent"], ["pictures-2x.pack", 404], ["pictures-2x.pack", "stall"]]) {
    const what = `${name} ${{ 404: "missing", silent: "never answering", stall: "stalled", half: "truncated" }[answer]}`;
    const page = await browser.newPage();
    await page.setViewport(PHONE);
    await page.evaluateOnNewDocument(() => { window.velmoraStallMs = 1500; });
    if (answer === "stall") stalled.add(`/${name}`);
    await page.setRequestInterception(true);
    page.on("request", (r) => {
      if (!r.url().endsWith(`/${name}`) || answer === "stall") r.continue();
      else if (answer === 404) r.respond({ status: 404, body: "" });
      else if (answer === "half") r.respond({ status: 200, contentType: "application/wasm", body: wasm.subarray(0, wasm.length >> 1) });
    });
    page.goto(`${origin}/index.html`).catch(() => {});  // a page.js that never comes holds the page's load
    const started = Date.now();
    const outcome = await page.waitForFunction(() => (!document.getElementById("trouble").hidden && "trouble") ||
      (document.querySelector("#stage canvas")?.style.display === "block" && "card"), { timeout: 8000 }).then((h) => h.jsonValue(), () => "nothing");
    const shown = await page.evaluate(() => ({ text: document.body.innerText, button: document.querySelector("#trouble button")?.textContent,
      poster: document.getElementById("poster").complete && !document.getElementById("poster").hidden,
      backing: document.querySelector("#stage canvas")?.width }));
    stalled.clear();
    if (name.endsWith(".pack"))
      check(outcome === "card" && shown.backing === 666, `with ${what} the card still starts, at 2x (${outcome}, ${shown.backing})`);
    else
      check(outcome === "trouble" && shown.button === "Try again" && shown.poster && Date.now() - started < 6000 &&
            !/Error|[45]\d\d|\.js|\.wasm|http/.test(shown.text),
            `with ${what} the page says so in a sentence over the poster, with Try again (${outcome}: ${shown.text.replace(/\s+/g, " ")})`);
    if (what === "velmora.wasm stalled") {
      page.removeAllListeners("request");
      await page.setRequestInterception(false);
      await Promise.all([page.waitForNavigation(), page.click("#trouble button")]);
      await page.waitForFunction(() => document.querySelector("#stage canvas")?.style.display === "block", { timeout: 10000 })
        .then(() => check(true, "Try again loads the card once the module arrives"), () => check(false, "Try again loads the card"));
    }
    await page.close();
  }
}

try {
  // ------------------------------------------------ a 1x desktop screen
  const page = await open({ width: 800, height: 600, deviceScaleFactor: 1 });
  let [card] = await windows(page, true);
  check(card.bw === 333 && card.bh === 415 && card.width === 333 && card.height === 415,
        `the card is 333 x 415 CSS pixels with a backing store of the same size (${card.width} x ${card.height}, ${card.bw} x ${card.bh})`);
  check(Math.abs(card.left + card.width / 2 - 400) <= 1 && Math.abs(card.top + card.height / 2 - 300) <= 1,
        `the card is centred in the viewport (at ${card.left}, ${card.top})`);
  const px = bytes(card.pixels);
  const alpha = (x, y) => px[(y * card.bw + x) * 4 + 3];
  check(alpha(0, 0) === 0 && alpha(332, 0) === 0 && alpha(0, 414) === 0 && alpha(332, 414) === 0 &&
        alpha(166, 207) === 255 && alpha(15, 0) === 255, "the card's corners are transparent, its face opaque");
  check(!requests.some((r) => r.endsWith(".pack")), "a 1x screen does not fetch the pictures drawn at twice the size");

  // The flame changes within the first seconds.
  const strip = (w) => {
    const p = bytes(w.pixels), out = [];
    for (let y = STRIP.y0; y < STRIP.y1; y++) out.push(p.subarray((y * w.bw + STRIP.x0) * 4, (y * w.bw + STRIP.x1) * 4));
    return Buffer.concat(out);
  };
  const firstStrip = strip(card);
  let changed = false;
  for (let i = 0; i < 20 && !changed; i++) {
    await sleep(150);
    changed = !strip((await windows(page, true))[0]).equals(firstStrip);
  }
  check(changed, "the flame changes frame within the first seconds");

  // The card as the native program draws it (the flame aside: its frame
  // depends on the moment).
  const cardRef = await decodePng(page, reference("card.png"));
  const aboutRef = await decodePng(page, reference("about.png"));
  [card] = await windows(page, true);
  const faceDiff = differences(card, cardRef, 0, 0, (x, y) => !inStrip(x, y));
  check(faceDiff.length === 0, `the card's pixels equal the native program's (${faceDiff.length} differ)`);

  // A click on a transparent corner goes to the page beneath, not the card.
  await page.evaluate(() => document.addEventListener("pointerdown", (e) => { window.pageGot = !e.defaultPrevented; }));
  await clickIn(page, card, 1, 1);
  await sleep(300);
  const corner = differences((await windows(page, true))[0], cardRef, 0, 0, (x, y) => !inStrip(x, y));
  check(corner.length === 0 && (await page.evaluate(() => window.pageGot)),
        "a click outside the card's shape reaches the page beneath and not the card");

  // A click shows the two buttons, top right.
  await clickIn(page, card, 166, 330);
  await sleep(300);
  [card] = await windows(page, true);
  const shown = differences(card, cardRef, 0, 0, (x, y) => !inStrip(x, y));
  const box = shown.reduce((b, [x, y]) => [Math.min(b[0], x), Math.min(b[1], y), Math.max(b[2], x), Math.max(b[3], y)],
                          [999, 999, -1, -1]);
  check(shown.length > 400 && box[0] >= 290 && box[3] < 60,
        `a click shows the buttons in the top right corner (${shown.length} pixels changed in ${box})`);

  // About opens as an oval over the card, with the native program's pixels.
  await clickIn(page, card, 316, 37);
  await page.waitForFunction(() => document.querySelectorAll("#stage canvas").length === 2, { timeout: 3000 });
  await sleep(300);
  let [, about] = await windows(page, true);
  const ap = bytes(about.pixels), aAlpha = (x, y) => ap[(y * about.bw + x) * 4 + 3];
  check(about.z > card.z && aAlpha(0, 0) === 0 && aAlpha(about.bw - 1, about.bh - 1) === 0 &&
        aAlpha(about.bw >> 1, about.bh >> 1) === 255 && aAlpha(about.bw >> 1, 1) === 255,
        "About opens above the card as an oval, transparent outside it");
  const aboutDiff = differences(about, aboutRef, about.x - card.x, about.y - card.y, (x, y, a) => a === 255);
  check(aboutDiff.length === 0, `About's pixels equal the native program's (${aboutDiff.length} differ)`);

  // The card takes no clicks while About is open: its close button does nothing.
  await clickIn(page, card, 316, 15);
  await sleep(300);
  check((await windows(page)).length === 2, "the card ignores clicks while About is open");

  // A link opens a new tab on the right address, with no handle back.
  const tab = new Promise((resolve) => browser.once("targetcreated", resolve));
  await clickIn(page, about, 100, 93);
  const target = await Promise.race([tab, sleep(3000).then(() => null)]);
  const cdp = await browser.target().createCDPSession();
  const infos = (await cdp.send("Target.getTargets")).targetInfos;
  const info = infos.find((t) => t.type === "page" && t.url.startsWith("https://www.velmora.example"));
  check(target && target.url().replace(/\/$/, "") === "https://www.velmora.example" && info && !info.canAccessOpener,
        `the link opens https://www.velmora.example in a new tab without an opener (${target && target.url()})`);
  if (target) await (await target.page())?.close();
  await page.bringToFront();

  // About's close button closes it; the card's closes the card.
  await clickIn(page, about, 168, 35);  // level with the title, 350 twips in from the right
  await sleep(300);
  check((await windows(page)).length === 1, "About's close button closes it");
  await clickIn(page, card, 166, 330);
  await sleep(300);
  await clickIn(page, card, 316, 15);
  await ended(page).then(() => check(true, "the card's close button ends the card; the control to open it again shows"),
                         () => check(false, "the card's close button ends the card"));

  // Opened again, a double-click ends it.
  await sleep(600);
  await page.click("#reopen");
  await page.waitForFunction(() => document.querySelector("#stage canvas")?.style.display === "block", { timeout: 5000 });
  [card] = await windows(page);
  check(Math.abs(card.left + card.width / 2 - 400) <= 1, "the card opens again, centred");
  await sleep(500);
  await clickIn(page, card, 166, 200, { count: 2 });
  await ended(page).then(() => check(true, "a double-click ends the card; the control to open it again shows"),
                         () => check(false, "a double-click ends the card"));
  await page.close();

  await keyboardOnly();
  await reducedMotion(cardRef);

  // --------------------------------------------- a 2x high-density screen
  const sharp = await open({ width: 800, height: 600, deviceScaleFactor: 2 });
  [card] = await windows(sharp, true);
  check(card.bw === 666 && card.bh === 830 && card.width === 333 && card.height === 415,
        `at devicePixelRatio 2 the backing store is 666 x 830 for 333 x 415 CSS pixels (${card.bw} x ${card.bh})`);
  check(requests.some((r) => r.endsWith("pictures-2x.pack")), "a 2x screen fetches the pictures drawn at twice the size");
  // Sharp: drawn from the 2x pictures, not a 1x drawing blown up, so most
  // 2 x 2 blocks of device pixels are not one flat colour.
  const p2 = bytes(card.pixels);
  let blocks = 0, flat = 0;
  for (let y = 40; y < 800; y += 2)
    for (let x = 40; x < 620; x += 2) {
      const i = (y * 666 + x) * 4, q = [i + 4, i + 666 * 4, i + 666 * 4 + 4];
      blocks++;
      if (q.every((j) => p2[j] === p2[i] && p2[j + 1] === p2[i + 1] && p2[j + 2] === p2[i + 2])) flat++;
    }
  check(flat / blocks < 0.5, `the 2x card is sharp (${Math.round((100 * flat) / blocks)}% of 2x2 blocks flat)`);
  await sharp.close();

  // ---------------------------------------------- a 320 px wide phone
  const phone = await open({ width: 320, height: 568, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  [card] = await windows(phone);
  check(card.left >= 0 && card.top >= 0 && card.left + card.width <= 320 && card.top + card.height <= 568 &&
        card.width > 290, `a 320 px wide viewport shows the whole card (${card.left}, ${card.top}, ${card.width} x ${card.height})`);
  await phone.setViewport({ width: 568, height: 320, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  await sleep(300);
  [card] = await windows(phone);
  check(card.top >= 0 && card.top + card.height <= 320 && Math.abs(card.left + card.width / 2 - 284) <= 1,
        `turned sideways the card stays centred and fitted (${card.left}, ${card.top}, ${card.width} x ${card.height})`);
  // A double tap is a double-click, and ends the card.
  const cx = card.left + card.width / 2, cy = card.top + card.height / 2;
  await phone.touchscreen.tap(cx, cy);
  await sleep(80);
  await phone.touchscreen.tap(cx + 3, cy + 2);
  await ended(phone).then(() => sleep(700)).then(() => ended(phone)).then(
    () => check(true, "a double tap ends the card, and the tap's own click does not open it again"),
    () => check(false, "a double tap ends the card, and the tap's own click does not open it again"));
  await phone.close();

  // A card opened in a background tab waits: its clock stands still while
  // the page is hidden (its first frame may show), and runs once it shows.
  // The page's visibility is the test's to set.
  const background = await browser.newPage();
  await background.evaluateOnNewDocument(() => {
    window.testHidden = true;
    Object.defineProperty(document, "visibilityState", { get: () => (window.testHidden ? "hidden" : "visible") });
    Object.defineProperty(document, "hidden", { get: () => window.testHidden });
  });
  await background.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
  await background.goto(`${origin}/index.html`);
  await background.waitForFunction(() => document.querySelector("#stage canvas")?.style.display === "block",
                                   { timeout: 10000 });
  const frames = async (ms) => {
    const seen = new Set();
    for (let t = 0; t < ms; t += 150) {
      seen.add(strip((await windows(background, true))[0]).toString("base64"));
      await sleep(150);
    }
    return seen.size;
  };
  const hiddenFrames = await frames(2000);
  await background.evaluate(() => { window.testHidden = false; document.dispatchEvent(new Event("visibilitychange")); });
  const shownFrames = await frames(2000);
  check(hiddenFrames === 1 && shownFrames > 1,
        `a card opened hidden stands still until it shows (${hiddenFrames} flame frames hidden, ${shownFrames} shown)`);
  await background.close();

  // A browser without WebAssembly, or a module that does not arrive: one
  // clear line in the page, not a blank one.
  for (const [what, prepare] of [
    ["without WebAssembly", (page) => page.evaluateOnNewDocument(() => { delete window.WebAssembly; })],
    ["when the module does not download", async (page) => {
      await page.setRequestInterception(true);
      page.on("request", (r) => (r.url().endsWith(".wasm") ? r.respond({ status: 404, body: "" }) : r.continue()));
    }]]) {
    const page = await browser.newPage();
    await prepare(page);
    await page.goto(`${origin}/index.html`);
    const line = await page.waitForFunction(() => [...document.querySelectorAll("#message, #trouble")].find((e) => !e.hidden)?.innerText,
                                            { timeout: 5000 }).then((h) => h.jsonValue(), () => "");
    check(/WebAssembly|could not/.test(line), `${what} the page says so (${line})`);
    await page.close();
  }

  await phoneDrag();
  await posterFirst(1);
  await posterFirst(2);
  await failuresSaySo();
  await previewAndIcons();
  await hostileWords();
  await fromTheDisk(await writeAndSend());
} finally {
  for (const res of held) res.destroy();
  await browser.close();
  server.close();
  rmSync(scratch, { recursive: true, force: true });
}
console.log(failures ? `${failures} check(s) failed` : "all checks passed");
process.exit(failures ? 1 : 0);
