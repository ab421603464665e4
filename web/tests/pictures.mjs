// Each example that ends by itself runs on the page (build/web) in headless Chromium; its
// picture must equal, pixel for pixel, what the native "ombrix-cli run --png" draws.
//
//   node web/tests/pictures.mjs NATIVE_CLI
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { launchChromium, pagePixels, pngPixels, runOnPage, servePage } from "./browser.mjs";

const [nativeCli] = process.argv.slice(2);
const root = new URL("../../build/web/", import.meta.url).pathname;
// The mouse projects wait for clicks; the others end by themselves.
const kWaiting = new Set(["mausblume.omp"]);

const examples = JSON.parse(readFileSync(join(root, "examples/index.json"), "utf8"))
  .map((e) => e.file).filter((f) => !kWaiting.has(f));
const dir = mkdtempSync(join(tmpdir(), "ombrix-web-pictures-"));
const server = await servePage(root);
const browser = await launchChromium();
let failures = 0;
try {
  const page = await browser.newPage();
  for (const file of examples) {
    const png = join(dir, `${file}.png`);
    try {
      execFileSync(nativeCli, ["run", "--png", png, join(root, "examples", file)], { stdio: "ignore" });
    } catch {
      // A failed step still writes the picture; the page shows the same failure.
    }
    const run = await runOnPage(page, server.url, file);
    const expected = await pngPixels(page, readFileSync(png));
    const actual = await pagePixels(page);
    let differing = 0;
    for (let i = 0; i < expected.length; i += 4) {
      if (expected.compare(actual, i, i + 4, i, i + 4) !== 0) ++differing;
    }
    if (differing !== 0 || expected.length !== actual.length) ++failures;
    console.log(`${file}: ${differing === 0 ? "gleich" : `${differing} Pixel verschieden`} ` +
      `(${Math.round(run.ms)} ms)`);
  }
} finally {
  await browser.close();
  server.close();
  rmSync(dir, { recursive: true, force: true });
}
process.exitCode = failures === 0 ? 0 : 1;
