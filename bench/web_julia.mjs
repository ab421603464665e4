// The Julia example from F1 to the success message on the page (build/web) in headless
// Chromium, against the native ombrix-cli running it (the whole process, its start
// included): the first run after the page has loaded, then the median of seven runs
// each, the page's F1 pressed again and the tool started again in turn, and their ratio.
//
//   node bench/web_julia.mjs [NATIVE_CLI] [EXAMPLE]
//   (defaults: build/release/cli/ombrix-cli, julia.omp; web/node_modules from scripts/web.sh)
import { execFileSync } from "node:child_process";
import { fileURLToPath } from "node:url";
import { launchChromium, runAgain, runOnPage, servePage } from "../web/tests/browser.mjs";

const here = (path) => fileURLToPath(new URL(path, import.meta.url));
const [nativeCli = here("../build/release/cli/ombrix-cli"), example = "julia.omp"] =
  process.argv.slice(2);
const kRuns = 7;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const succeeded = (run) => run.boxes?.some((b) => b.includes("erfolgreich beendet"));
const server = await servePage(here("../build/web/"));
const browser = await launchChromium();
const page = await browser.newPage();
const pageMs = [];
const nativeMs = [];
let first = 0;
try {
  const run = await runOnPage(page, server.url, example);
  if (!succeeded(run)) throw new Error("kein Erfolg");
  first = run.ms;
  for (let k = 0; k < kRuns; ++k) {
    const again = await runAgain(page);
    if (!succeeded(again)) throw new Error("kein Erfolg");
    pageMs.push(again.ms);
    const begin = process.hrtime.bigint();
    execFileSync(nativeCli, ["run", here(`../examples/${example}`)], { stdio: "ignore" });
    nativeMs.push(Number(process.hrtime.bigint() - begin) / 1e6);
  }
} finally {
  await browser.close();
  server.close();
}
const web = median(pageMs);
const native = median(nativeMs);
console.log(`${example}: Seite ${web.toFixed(0)} ms (der erste Lauf nach dem Laden ${first.toFixed(0)} ms), ` +
  `ombrix-cli ${native.toFixed(0)} ms, Verhältnis ${(web / native).toFixed(2)} (Mediane aus ${kRuns})`);
