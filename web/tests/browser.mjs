// What the browser tests and measurements share: the built page (build/web) served on a
// free port, Debian's Chromium driven headless by Playwright, a project run to its end
// on the page, the pixels of the page's picture and of a PNG file, and downloads.
import { createServer } from "node:http";
import { createRequire } from "node:module";
import { spawnSync } from "node:child_process";
import { readFile, rm } from "node:fs/promises";
import { tmpdir } from "node:os";
import { extname, join, normalize } from "node:path";
import { chromium } from "playwright-core";

export const kRoot = new URL("../../build/web/", import.meta.url).pathname;

const kTypes = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript",
  ".css": "text/css",
  ".json": "application/json",
  ".wasm": "application/wasm",
  ".svg": "image/svg+xml",
  ".png": "image/png",
  ".webmanifest": "application/manifest+json",
};

export async function servePage(root = kRoot) {
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

const kChromium = {
  executablePath: "/usr/bin/chromium",
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync"],
};

export function launchChromium() {
  return chromium.launch(kChromium);
}

// A page in German (the decimal separator ","), files saved as downloads.
export async function germanPage(browser, options = {}) {
  const context = await browser.newContext({ locale: "de-DE", acceptDownloads: true, ...options });
  await context.addInitScript(() => {
    delete window.showSaveFilePicker;
    delete window.showOpenFilePicker;
  });
  const page = await context.newPage();
  page.on("pageerror", (error) => console.log(`Fehler der Seite: ${error.message}`));
  return page;
}

export async function openPage(page, url) {
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.ready === "true", null, { timeout: 60000 });
}

export const runEnded = (page) =>
  page.waitForFunction(() => window.ombrixRun && window.ombrixRun.done, null, { timeout: 600000 });

// Opens the page with `file` from examples/ and runs it to its end: the time from
// "Starten" to the end, the failure if any and the boxes shown.
export async function runOnPage(page, url, file) {
  await page.goto(`${url}?projekt=${encodeURIComponent(file)}&start`);
  await runEnded(page);
  return page.evaluate(() => window.ombrixRun);
}

// Closes the open boxes with their "OK".
export async function closeBoxes(page) {
  while (await page.locator("dialog[open] button", { hasText: "OK" }).count()) {
    await page.locator("dialog[open] button", { hasText: "OK" }).first().click();
  }
}

// Runs the open project again as F1 does, once the last run has ended and its box is closed.
export async function runAgain(page) {
  await closeBoxes(page);
  await page.keyboard.press("F1");
  await runEnded(page);
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

// The middle of picture pixel (x, y) on the page, inside the canvas's border, however scaled.
export function pictureAt(page, x, y) {
  return page.locator("#bild").evaluate((canvas, [x, y]) => {
    const box = canvas.getBoundingClientRect();
    return {
      x: box.left + canvas.clientLeft + ((x + 0.5) * canvas.clientWidth) / canvas.width,
      y: box.top + canvas.clientTop + ((y + 0.5) * canvas.clientHeight) / canvas.height,
    };
  }, [x, y]);
}

// How many pixels differ between two pictures of four bytes a pixel.
export function differingPixels(expected, actual) {
  if (expected.length !== actual.length) return Math.max(expected.length, actual.length) / 4;
  let differing = 0;
  for (let i = 0; i < expected.length; i += 4) {
    if (expected.compare(actual, i, i + 4, i, i + 4) !== 0) ++differing;
  }
  return differing;
}

// Runs a menu item ("Datei" → "Projekt speichern unter") as the mouse does.
export async function menu(page, name, item) {
  await page.getByRole("button", { name, exact: true }).click();
  await page.getByRole("menuitem", { name: item, exact: false }).first().click();
}

// The files a menu item downloads, by name.
export async function downloads(page, count, action) {
  const files = {};
  const done = new Promise((resolve) => {
    page.on("download", async function took(download) {
      files[download.suggestedFilename()] = await readFile(await download.path());
      if (Object.keys(files).length === count) {
        page.off("download", took);
        resolve();
      }
    });
  });
  await action();
  await done;
  return files;
}

// Answers once the worker has done everything sent before, and the picture it sent after
// that has been painted.
export async function settle(page) {
  await page.evaluate(() => window.ombrixSync());
  await page.evaluate(() => window.ombrixSync());
  await page.evaluate(() => new Promise(requestAnimationFrame));
}

// The picture `ombrix-cli run` draws of `project` with `options` (as "--click", "--set"),
// the position it reports last, and its pixels as the page decodes them.
let nativeRuns = 0;
export async function nativeRun(page, nativeCli, project, options = []) {
  const png = join(tmpdir(), `ombrix-native-${process.pid}-${++nativeRuns}.png`);
  const run = spawnSync(nativeCli, ["run", "--decimal-separator", ",", "--png", png, ...options, project],
    { encoding: "utf8" });
  const positions = [...run.stderr.matchAll(/^Mausposition: (.*)$/gm)].map((m) => m[1]);
  const pixels = await pngPixels(page, await readFile(png));
  await rm(png, { force: true });
  return { pixels, position: positions.at(-1) ?? "", status: run.status };
}

// The picture `ombrix-cli run` draws of an example, with start values set.
export async function nativePixels(page, nativeCli, file, sets = []) {
  const sets_ = sets.flatMap((s) => ["--set", s]);
  return (await nativeRun(page, nativeCli, join(kRoot, "examples", file), sets_)).pixels;
}

// Axe's serious and critical findings on the page as it stands (axe-core loaded into the page first).
export async function seriousViolations(page) {
  if (!(await page.evaluate(() => "axe" in window))) {
    await page.addScriptTag({ path: createRequire(import.meta.url).resolve("axe-core/axe.min.js") });
  }
  return page.evaluate(async () =>
    (await window.axe.run(document, { runOnly: ["wcag2a", "wcag2aa", "wcag21aa", "best-practice"] })).violations
      .filter((v) => v.impact === "serious" || v.impact === "critical")
      .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(" ")).slice(0, 3).join(", ")}`));
}

// Waits until the page's picture is `expected`; answers how many pixels still differ.
export async function pictureBecomes(page, expected, ms = 60000) {
  let differing = 0;
  for (const end = Date.now() + ms; Date.now() < end; await page.waitForTimeout(200)) {
    differing = differingPixels(expected, await pagePixels(page));
    if (differing === 0) break;
  }
  return differing;
}

// A browser with a profile in `dir`, as a user's is (not a private window): what only such a
// browser does, as installing a page as an app.
export function launchProfile(dir) {
  return chromium.launchPersistentContext(dir, { ...kChromium, locale: "de-DE" });
}

// Runs the rows whose names contain one of `only` (all without), each on a fresh German
// page of `options` and the row's own `context` (or the row's own page(browser)), and prints
// each row's faults; answers how many rows failed, and sets the exit code.
export async function runRows(rows, only, options = {}) {
  const server = await servePage();
  const browser = await launchChromium();
  let failures = 0;
  try {
    for (const row of rows.filter((r) => only.length === 0 || only.some((o) => r.name.includes(o)))) {
      const page = row.page
        ? await row.page(browser)
        : await germanPage(browser, { viewport: { width: 1280, height: 800 }, ...options, ...row.context });
      let faults;
      try {
        faults = (await row.run(page, server.url)).filter(Boolean);
      } catch (error) {
        faults = [error.message.split("\n")[0]];
      }
      await page.context().close();
      if (faults.length > 0) ++failures;
      console.log(`${row.name}: ${faults.length === 0 ? "gut" : faults.join("; ")}`);
    }
  } finally {
    await browser.close();
    server.close();
  }
  if (failures > 0) process.exitCode = 1;
  return failures;
}
