// Each example that ends by itself runs on the page (build/web) in headless Chromium; its
// picture must equal, pixel for pixel, what the native "ombrix-cli run --png" draws, also
// after clicks on the picture, and its SVG export must be the one "ombrix-cli run --svg"
// writes, byte for byte (when it is shapes; pixels are embedded as PNG, which each side
// compresses its own way).
//
//   node web/tests/pictures.mjs NATIVE_CLI [EXAMPLE.omp]...   (all examples without a name)
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import {
  closeBoxes, differingPixels, downloads, germanPage, kRoot, launchChromium, menu, pagePixels, pictureAt, pngPixels, runOnPage, servePage,
} from "./browser.mjs";

const [nativeCli, ...only] = process.argv.slice(2);
// The main program of this one never ends: the mouse moves what it draws.
const kEndless = new Set(["mausblume.omp"]);
// Clicks on the picture after the run, in picture pixels.
const kClicks = { "mausmalen.omp": [[100, 100], [250, 150], [320, 330]] };

const examples = JSON.parse(readFileSync(join(kRoot, "examples/index.json"), "utf8"))
  .map((e) => e.file).filter((f) => !kEndless.has(f) && (only.length === 0 || only.includes(f)));
const dir = mkdtempSync(join(tmpdir(), "ombrix-web-pictures-"));
const server = await servePage();
const browser = await launchChromium();
let failures = 0;

async function click(page, [x, y]) {
  const at = await pictureAt(page, x, y);
  await page.mouse.move(at.x, at.y);
  await page.mouse.down();
  await page.mouse.up();
  await page.evaluate(() => window.ombrixSync());
}

try {
  const page = await germanPage(browser);
  for (const file of examples) {
    const png = join(dir, `${file}.png`);
    const svg = join(dir, `${file}.svg`);
    const clicks = kClicks[file] || [];
    try {
      execFileSync(nativeCli, ["run", "--png", png, "--svg", svg, ...clicks.flatMap((c) => ["--click", c.join(",")]),
        join(kRoot, "examples", file)], { stdio: "ignore" });
    } catch {
      // A failed step still writes the picture; the page shows the same failure.
    }
    const run = await runOnPage(page, server.url, file);
    await closeBoxes(page); // modal, as on the desktop: the picture takes clicks once it is closed
    for (const at of clicks) await click(page, at);
    await page.evaluate(() => window.ombrixSync());
    const differing = differingPixels(await pngPixels(page, readFileSync(png)), await pagePixels(page));
    const nativeSvg = readFileSync(svg);
    let svgNote = "";
    if (!nativeSvg.includes("<image")) {
      const { "bild.svg": pageSvg } = await downloads(page, 1, () => menu(page, "Datei", "Bild exportieren"));
      svgNote = nativeSvg.equals(pageSvg) ? ", SVG gleich" : ", SVG verschieden";
      if (!nativeSvg.equals(pageSvg)) ++failures;
    }
    if (differing !== 0) ++failures;
    console.log(`${file}: ${differing === 0 ? "gleich" : `${differing} Pixel verschieden`}${svgNote} (${Math.round(run.ms)} ms)`);
  }
} finally {
  await browser.close();
  server.close();
  rmSync(dir, { recursive: true, force: true });
}
process.exitCode = failures === 0 ? 0 : 1;
