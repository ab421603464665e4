// The Julia example from F1 to the success message on the page (build/web) in headless
// Chromium, against the native ombrix-cli running it (the whole process, its start
// included). Three figures of the page, medians of each:
//   - the first run after loading, F1 pressed as soon as the page is ready,
//   - the first run after loading, F1 pressed a second later (as a user who looks first),
//   - runs in a page that has run it before (F1 pressed again);
// each page loaded in a fresh browser context, so that nothing compiled is left over.
// Beside the time, the CPU time of the thread that ran it (the page's Web Worker; the tool's
// process): on a loaded machine the time is mostly waiting, the CPU time hardly changes.
//
//   node bench/web_julia.mjs [NATIVE_CLI] [EXAMPLE] [--runs N] [--seite DIR]
//   (defaults: build/release/cli/ombrix-cli, julia.omp, 7 runs, build/web;
//   web/node_modules from scripts/web.sh)
import { execFileSync } from "node:child_process";
import { readFileSync, readdirSync } from "node:fs";
import { loadavg } from "node:os";
import { fileURLToPath } from "node:url";
import { launchChromium, openPage, runAgain, runEnded, servePage } from "../web/tests/browser.mjs";

const here = (path) => fileURLToPath(new URL(path, import.meta.url));
const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 ? args.splice(at, 2)[1] : fallback;
};
const runs = Number(option("--runs", 7));
const root = option("--seite", here("../build/web/"));
const [nativeCli = here("../build/release/cli/ombrix-cli"), example = "julia.omp"] = args;

// CPU milliseconds from a /proc stat line: user and system ticks, or those of waited-for
// children, at 100 ticks a second.
function statMs(path, first) {
  const fields = readFileSync(path, "latin1").replace(/^.*\) /, "").split(" ");
  return (Number(fields[first - 3]) + Number(fields[first - 2])) * 10;
}
const childrenMs = () => statMs("/proc/self/stat", 16);

// The CPU time of the Web Workers of the browsers this process started.
function workerMs() {
  const parents = new Map();
  for (const pid of readdirSync("/proc").filter((name) => /^\d+$/.test(name))) {
    try {
      parents.set(pid, readFileSync(`/proc/${pid}/stat`, "latin1").replace(/^.*\) /, "").split(" ")[1]);
    } catch {
      // gone meanwhile
    }
  }
  const ours = new Set([String(process.pid)]);
  for (let grown = true; grown;) {
    grown = false;
    for (const [pid, parent] of parents) {
      if (ours.has(parent) && !ours.has(pid)) grown = ours.add(pid);
    }
  }
  let total = 0;
  for (const pid of ours) {
    try {
      for (const task of readdirSync(`/proc/${pid}/task`)) {
        if (readFileSync(`/proc/${pid}/task/${task}/comm`, "latin1").startsWith("DedicatedWorker")) {
          total += statMs(`/proc/${pid}/task/${task}/stat`, 14);
        }
      }
    } catch {
      // gone meanwhile
    }
  }
  return total;
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const succeeded = (run) => run.boxes?.some((b) => b.includes("erfolgreich beendet"));
function ms(run) {
  if (!succeeded(run)) throw new Error(`kein Erfolg: ${run.boxes?.join("; ")}`);
  return run.ms;
}

const server = await servePage(root);
const browser = await launchChromium();
const figures = { atOnce: [], later: [], again: [], native: [] };
const cpu = { atOnce: [], later: [], again: [], native: [] };
// Runs `run` and keeps its time and the CPU time `clock` counted meanwhile.
async function measure(figure, clock, run) {
  const before = clock();
  figures[figure].push(await run());
  cpu[figure].push(clock() - before);
}
try {
  for (let k = 0; k < runs; ++k) {
    for (const [figure, waitMs] of [["atOnce", 0], ["later", 1000]]) {
      const context = await browser.newContext({ serviceWorkers: "block" });
      const page = await context.newPage();
      await openPage(page, `${server.url}?projekt=${encodeURIComponent(example)}`);
      await page.waitForTimeout(waitMs);
      await measure(figure, workerMs, async () => {
        await page.keyboard.press("F1");
        await runEnded(page);
        return ms(await page.evaluate(() => window.ombrixRun));
      });
      if (figure === "later") await measure("again", workerMs, async () => ms(await runAgain(page)));
      await context.close();
    }
    await measure("native", childrenMs, () => {
      const begin = process.hrtime.bigint();
      execFileSync(nativeCli, ["run", here(`../examples/${example}`)], { stdio: "ignore" });
      return Number(process.hrtime.bigint() - begin) / 1e6;
    });
  }
} finally {
  await browser.close();
  server.close();
}
const line = (caption, figure) => {
  const ratio = (of) => (median(of[figure]) / median(of.native)).toFixed(2);
  return `  ${caption}: ${median(figures[figure]).toFixed(0)} ms (${ratio(figures)}×; ` +
    `${Math.min(...figures[figure]).toFixed(0)}–${Math.max(...figures[figure]).toFixed(0)}), ` +
    `CPU ${median(cpu[figure]).toFixed(0)} ms (${ratio(cpu)}×)`;
};
console.log(`${example}, Mediane aus ${runs}, Last ${loadavg().map((l) => l.toFixed(2)).join(" ")}:`);
console.log(line("ombrix-cli", "native"));
console.log(line("Seite, erster Lauf, F1 sofort", "atOnce"));
console.log(line("Seite, erster Lauf, F1 nach 1 s", "later"));
console.log(line("Seite, wieder gestartet", "again"));
