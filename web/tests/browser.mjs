// What the browser tests and measurements share: the built page (build/web) served on a
// free port, Debian's Chromium driven headless by Playwright, a project run to its end
// on the page, and the pixels of the page's picture and of a PNG file.
import { createServer } from "node:http";
import { readFile } from "node:fs/promises";
import { extname, join, normalize } from "node:path";
import { chromium } from "playwright-core";

const kTypes = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript",
  ".css": "text/css",
  ".json": "application/json",
  ".wasm": "application/wasm",
};

export async function servePage(root) {
  const server = createServer(async (request, response) => {
    let path = normalize(decodeURIComponent(new URL(request.url, "http://x").pathname));
    if (path.endsWith("/")) path += "index.html";
    try {
      const body = await readFile(join(root, path));
      response.writeHead(200, { "Content-Type": kTypes[extname(path)] || "application/octet-stream" });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  return { url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() };
}

export function launchChromium() {
  return chromium.launch({
    executablePath: "/usr/bin/chromium",
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
}

// Opens the page with `file` from examples/ and runs it to its end: the time from
// "Starten" to the end, the end's state and the boxes shown.
export async function runOnPage(page, url, file) {
  await page.goto(`${url}?projekt=${encodeURIComponent(file)}&start`);
  await page.waitForFunction(() => window.ombrixRun && window.ombrixRun.done, null, { timeout: 600000 });
  return page.evaluate(() => window.ombrixRun);
}

// Runs the open project again as F1 does, when the last run has ended and its box is closed.
export async function runAgain(page) {
  await page.evaluate(() => document.getElementById("meldung").close());
  await page.keyboard.press("F1");
  await page.waitForFunction(() => window.ombrixRun && window.ombrixRun.done, null, { timeout: 600000 });
  return page.evaluate(() => window.ombrixRun);
}

// The page's picture, four bytes a pixel.
export async function pagePixels(page) {
  return Buffer.from(await page.evaluate(() => {
    const canvas = document.getElementById("bild");
    return Array.from(canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data);
  }));
}

// A PNG file's pixels as the browser decodes it, without any colour conversion.
export async function pngPixels(page, png) {
  return Buffer.from(await page.evaluate(async (bytes) => {
    const bitmap = await createImageBitmap(new Blob([new Uint8Array(bytes)], { type: "image/png" }),
      { colorSpaceConversion: "none", premultiplyAlpha: "none" });
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = canvas.getContext("2d");
    context.drawImage(bitmap, 0, 0);
    return Array.from(context.getImageData(0, 0, bitmap.width, bitmap.height).data);
  }, Array.from(png)));
}
