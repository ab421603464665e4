// Running: "Starten" and "Abbrechen", the two check boxes, the run's status from the
// worker, a failed step shown in its program's editor, the pause in the status bar, and
// live runs (a control changed restarts the main program without the success message,
// while the last finished picture stays on screen).
import { call, on as onEngine, send } from "./engine.js";
import { boxOpen, onBoxesClosed, showBox } from "./boxes.js";
import { flushPrograms, showFailure } from "./programs.js";
import { selectTab } from "./tabs.js";
import { app, emit } from "./state.js";

const mainBox = document.getElementById("hauptprogramm-aktiv");
const mouseBox = document.getElementById("maus-aktiv");
const position = document.getElementById("mausposition");

// A live run that takes longer than this shows its drawing instead of the last picture.
const kLiveCopyLimitMs = 1500;
const live = { run: false, pending: false, startedAt: 0, timer: 0 };

// What the last run did, for the tests and measurements: its time from "Starten" to its
// end, the state it ended in and the boxes it showed.
window.ombrixRun = { done: false, boxes: [] };
let startedAt = 0;
let lastFailed = null;

export async function start() {
  if (app.running) return;
  await flushPrograms();
  window.ombrixRun = { done: false, boxes: [] };
  startedAt = performance.now();
  endLive();
  app.running = true; // at once, so that a second F1 does nothing
  await call("start", 0);
}

export function stop() {
  endLive();
  return call("stop");
}

// Both check boxes unchecked: the main program stops, the mouse-click program is off.
export function uncheckBoth() {
  endLive();
  return call("switchOffBoth");
}

function endLive() {
  live.run = false;
  live.pending = false;
  clearTimeout(live.timer);
  emit("freeze", false);
}

// A control changed: with "live" on the main program starts anew; while a handle is held
// the picture being drawn is finished first and the newest value comes next.
export function controlChanged(dragging) {
  if (!app.doc.live) return;
  if (dragging && live.run && app.running) {
    live.pending = true;
    return;
  }
  restartLive();
}

async function restartLive() {
  live.pending = false;
  if (boxOpen()) return; // the next change restarts
  await flushPrograms();
  emit("freeze", true);
  live.run = true;
  live.startedAt = performance.now();
  clearTimeout(live.timer);
  live.timer = setTimeout(() => live.run && emit("freeze", false), kLiveCopyLimitMs);
  app.running = true;
  await call("start", 1);
}

// A failed step: both boxes are off already; the editor of its program shows the line.
function failed(status) {
  if (live.run) {
    // The failure's box has been shown once; more changes would show it again.
    app.doc.live = false;
    call("setLive", 0);
    emit("live");
  }
  const slot = status.failed.slot;
  selectTab(slot === 0 ? "hauptprogramm" : "mausprogramm");
  showFailure(slot, status.failed.line, status.failedText);
}

onEngine("status", ({ status }) => {
  const wasRunning = app.running;
  app.running = status.running;
  app.paused = status.paused;
  app.pausedAt = status.pausedAt;
  app.mouseEnabled = status.mouse;
  mainBox.checked = status.running;
  mouseBox.checked = status.mouse;
  // "0" until the mouse or a finger has been over the picture.
  if (app.pointerSeen) position.textContent = status.position;
  const failure = status.failed ? JSON.stringify(status.failed) : null;
  if (failure && failure !== lastFailed) failed(status);
  lastFailed = failure;
  if (wasRunning && !status.running) {
    window.ombrixRun.ms = performance.now() - startedAt;
    window.ombrixRun.failed = status.failed;
    window.ombrixRun.done = true;
    if (live.run) {
      const again = live.pending;
      endLive();
      if (again) restartLive();
    }
  }
  emit("run");
});

onEngine("box", ({ title, text }) => {
  window.ombrixRun.boxes.push(`${title}: ${text}`);
  showBox(title, text);
});
// While a box is open the run waits, as behind the desktop's modal box.
onBoxesClosed(() => call("report"));

mainBox.addEventListener("change", () => (mainBox.checked ? start() : stop()));
mouseBox.addEventListener("change", () => call("setMouseProgram", mouseBox.checked ? 1 : 0));

export { send };
