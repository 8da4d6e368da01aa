// How soon the web card is seen on a slow phone: Debian's chromium at
// 412 x 823 (touch, device scale 1 and 2) on Slow 3G (400 ms latency,
// 400 kbit/s each way) with the CPU slowed 4 times. For each built site it
// measures, median of 3 fresh loads:
//   card on screen   the first paint of the card: the poster (its largest
//                    contentful paint) or, for a page without one, the
//                    program's first frame
//   first frame      the program's first frame (the page reports it in the
//                    title with #bench)
// and Lighthouse's four scores with its mobile and desktop settings.
// The sites are served from this process, gzipped as a compressing host
// sends them. Not a test: figures for the README.
//
// usage: (cd bench/web && npm ci) && node bench/web/slow_network.mjs [--runs N] [--no-lighthouse] label=site-folder...
import { existsSync, readFileSync, statSync } from "node:fs";
import http from "node:http";
import path from "node:path";
import { gzipSync, constants } from "node:zlib";
import * as chromeLauncher from "chrome-launcher";
import lighthouse from "lighthouse";
import desktopConfig from "lighthouse/core/config/desktop-config.js";
import puppeteer from "puppeteer-core";

const CHROMIUM = process.env.CHROME_PATH || "/usr/bin/chromium";
const FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--force-color-profile=srgb", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync"];
const SLOW_3G = { offline: false, latency: 400, downloadThroughput: (400 * 1000) / 8, uploadThroughput: (400 * 1000) / 8 };
const VIEWPORT = { width: 412, height: 823, isMobile: true, hasTouch: true };

const args = process.argv.slice(2);
let runs = 3, withLighthouse = true;
const sites = [];
for (let i = 0; i < args.length; i++) {
  if (args[i] === "--runs") runs = Number(args[++i]);
  else if (args[i] === "--no-lighthouse") withLighthouse = false;
  else if (args[i].includes("=")) {
    const [label, folder] = args[i].split(/=(.*)/s);
    sites.push({ label, folder: path.resolve(folder) });
  }
}
if (!sites.length || !(runs >= 1)) {
  console.error("usage: node slow_network.mjs [--runs N] [--no-lighthouse] label=site-folder...");
  process.exit(2);
}

// ------------------------------------------------------------- server

const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".webp": "image/webp",
                ".png": "image/png", ".jpg": "image/jpeg", ".ico": "image/x-icon",
                ".webmanifest": "application/manifest+json", ".pack": "application/octet-stream" };
const packed = new Map();
const serve = (root) => http.createServer((req, res) => {
  const local = new URL(req.url, "http://localhost").pathname;
  const file = path.join(root, path.normalize(local === "/" ? "/index.html" : local));
  if (!file.startsWith(root) || !existsSync(file) || !statSync(file).isFile()) {
    res.writeHead(404).end();
    return;
  }
  const type = types[path.extname(file)] || "application/octet-stream";
  let body = readFileSync(file);
  const headers = { "Content-Type": type, "Cache-Control": "no-cache" };
  if (!type.startsWith("image/") && /\bgzip\b/.test(req.headers["accept-encoding"] || "")) {
    if (!packed.has(file)) packed.set(file, gzipSync(body, { level: constants.Z_BEST_COMPRESSION }));
    body = packed.get(file);
    headers["Content-Encoding"] = "gzip";
  }
  headers["Content-Length"] = body.length;
  res.writeHead(200, headers).end(body);
});
const listen = async (root) => {
  const server = serve(root);
  await new Promise((r) => server.listen(0, "127.0.0.1", r));
  return { server, url: `http://127.0.0.1:${server.address().port}/index.html` };
};

// ------------------------------------------------------- slow loading

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function slowLoad(browser, url, scale) {
  const context = await browser.createBrowserContext();  // nothing cached
  const page = await context.newPage();
  await page.setViewport({ ...VIEWPORT, deviceScaleFactor: scale });
  const cdp = await page.createCDPSession();
  await cdp.send("Network.enable");
  await cdp.send("Network.emulateNetworkConditions", SLOW_3G);
  await cdp.send("Emulation.setCPUThrottlingRate", { rate: 4 });
  await page.evaluateOnNewDocument(() => {
    window.benchPoster = 0;
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) if (entry.element?.id === "poster") window.benchPoster = entry.startTime;
    }).observe({ type: "largest-contentful-paint", buffered: true });
  });
  await page.goto(`${url}#bench`, { waitUntil: "domcontentloaded", timeout: 180000 });
  const handle = await page.waitForFunction(() => {
    const frame = Number(/first_frame_ms=([\d.]+)/.exec(document.title)?.[1] || 0);
    return frame > 0 && { poster: window.benchPoster, frame };
  }, { timeout: 180000, polling: 250 });
  const { poster, frame } = await handle.jsonValue();
  await context.close();
  return { seen: poster > 0 ? Math.min(poster, frame) : frame, frame };
}

// ---------------------------------------------------------- lighthouse

async function scores(url, preset) {
  const chrome = await chromeLauncher.launch({ chromePath: CHROMIUM, chromeFlags: FLAGS });
  try {
    const result = await lighthouse(url, { port: chrome.port, output: "json", logLevel: "error" },
                                     preset === "desktop" ? desktopConfig : undefined);
    const c = result.lhr.categories;
    return ["performance", "accessibility", "best-practices", "seo"].map((k) => Math.round(c[k].score * 100)).join(" / ");
  } finally {
    await chrome.kill();
  }
}

// ---------------------------------------------------------------- main

const browser = await puppeteer.launch({ executablePath: CHROMIUM, headless: true, args: FLAGS.slice(1) });
const rows = [];
try {
  for (const site of sites) {
    const { server, url } = await listen(site.folder);
    try {
      const row = { site: site.label };
      for (const scale of [1, 2]) {
        const loads = [];
        for (let i = 0; i < runs; i++) loads.push(await slowLoad(browser, url, scale));
        row[`seen_${scale}x`] = median(loads.map((l) => l.seen));
        row[`frame_${scale}x`] = median(loads.map((l) => l.frame));
        console.error(`${site.label} ${scale}x: ${loads.map((l) => `${Math.round(l.seen)}/${Math.round(l.frame)}`).join(", ")} ms`);
      }
      if (withLighthouse) {
        row.mobile = await scores(url, "mobile");
        row.desktop = await scores(url, "desktop");
      }
      rows.push(row);
    } finally {
      server.close();
    }
  }
} finally {
  await browser.close();
}
const s = (ms) => `${(ms / 1000).toFixed(1)} s`;
console.log("| site | card on screen 1x | first frame 1x | card on screen 2x | first frame 2x |" +
            (withLighthouse ? " Lighthouse mobile | Lighthouse desktop |" : ""));
console.log("|---|---|---|---|---|" + (withLighthouse ? "---|---|" : ""));
for (const r of rows)
  console.log(`| ${r.site} | ${s(r.seen_1x)} | ${s(r.frame_1x)} | ${s(r.seen_2x)} | ${s(r.frame_2x)} |` +
              (withLighthouse ? ` ${r.mobile} | ${r.desktop} |` : ""));
