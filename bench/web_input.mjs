// How soon the page answers input while a long run draws (build/web in headless Chromium):
// the pointer moved over the picture until the position shows it, and "Abbrechen" until
// the run has stopped; median and maximum of each, with the machine's load beside them.
// The goal is 50 ms.
//
//   node bench/web_input.mjs [EXAMPLE] [--runs N]   (defaults: mausblume.omp, which runs
//   until it is stopped, 5 runs)
import { loadavg } from "node:os";
import { launchChromium, openPage, servePage } from "../web/tests/browser.mjs";

const args = process.argv.slice(2);
const runsAt = args.indexOf("--runs");
const runs = runsAt >= 0 ? Number(args.splice(runsAt, 2)[1]) : 5;
const [example = "mausblume.omp"] = args;

// In the page: pointer moves during the run, each timed until the shown position changes;
// then "Abbrechen", timed until the run has stopped.
function measureInPage() {
  const canvas = document.getElementById("bild");
  const position = document.getElementById("mausposition");
  const changed = (element, test) => new Promise((resolve) => {
    const observer = new MutationObserver(() => {
      if (!test()) return;
      observer.disconnect();
      resolve(performance.now());
    });
    observer.observe(element, { childList: true, characterData: true, subtree: true, attributes: true });
  });
  const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
  return (async () => {
    const moves = [];
    const box = canvas.getBoundingClientRect();
    for (let k = 0; k < 20 && document.body.classList.contains("running"); ++k) {
      const before = position.textContent;
      const shown = changed(position, () => position.textContent !== before);
      const begin = performance.now();
      canvas.dispatchEvent(new PointerEvent("pointermove", {
        clientX: box.left + 20 + 15 * k, clientY: box.top + 30 + 11 * k, pointerType: "mouse", bubbles: true,
      }));
      const at = await Promise.race([shown, pause(3000).then(() => null)]); // null: no answer
      moves.push(at === null ? null : at - begin);
      await pause(40);
    }
    // A run that has ended by itself has nothing left to stop.
    if (!document.body.classList.contains("running")) return { moves, stop: null };
    const stopped = changed(document.body, () => !document.body.classList.contains("running"));
    const begin = performance.now();
    document.getElementById("abbrechen").click();
    return { moves, stop: (await stopped) - begin };
  })();
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const server = await servePage();
const browser = await launchChromium();
const moves = [];
const stops = [];
try {
  for (let k = 0; k < runs; ++k) {
    const page = await browser.newPage();
    await openPage(page, `${server.url}?projekt=${encodeURIComponent(example)}&start`);
    await page.waitForFunction(() => document.body.classList.contains("running"));
    await page.waitForTimeout(300); // well into the run
    const measured = await page.evaluate(measureInPage);
    moves.push(...measured.moves);
    if (measured.stop !== null) stops.push(measured.stop);
    await page.close();
  }
} finally {
  await browser.close();
  server.close();
}
const unanswered = moves.filter((m) => m === null).length;
moves.splice(0, moves.length, ...moves.filter((m) => m !== null));
const figure = (values) => `Median ${median(values).toFixed(0)} ms, höchstens ${Math.max(...values).toFixed(0)} ms`;
console.log(`${example}, ${runs} Läufe, Last ${loadavg().map((l) => l.toFixed(2)).join(" ")}:`);
console.log(`  Maus bewegt bis zur Position (${moves.length}×): ${figure(moves)}` +
  (unanswered ? `; ${unanswered}× nach 3 s ohne Antwort` : ""));
console.log(stops.length ? `  Abbrechen bis zum Halt (${stops.length}×): ${figure(stops)}`
  : "  Abbrechen: jeder Lauf endete vorher von selbst");
