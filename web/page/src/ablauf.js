// The run window "Ablauf" as a tab: both programs with line numbers, the line that runs
// next and the breakpoints; the variables with their start and current values; the
// watched terms; the rewriting of the next line's terms; the tempo; single step, step back
// and continue. While it is open its breakpoints, watches and tempo act and the history
// is kept; closed, they wait until it opens again.
import { call, callJson } from "./engine.js";
import { element } from "./boxes.js";
import { editors, flushPrograms } from "./programs.js";
import { selectTab, showTab } from "./tabs.js";
import { stop } from "./run.js";
import { kFailedAt, kNoRun, kPauseReasons, kPausedBefore, kProgramNames, kRunning, kTempoSteps, kTempoText, kWatchHint } from "./texts.js";
import { app, on } from "./state.js";

const panel = document.getElementById("panel-ablauf");
const views = [panel.querySelector("#ablauf-haupt"), panel.querySelector("#ablauf-maus")];
const variables = panel.querySelector("#ablauf-variablen tbody");
const watches = panel.querySelector("#ablauf-terme tbody");
const rewriting = panel.querySelector("#ablauf-umformung");
const tempo = panel.querySelector("#tempo");
const tempoText = panel.querySelector("#tempo-text");
const state = panel.querySelector("#ablauf-zustand");
const kRefreshMs = 33; // while a run goes on, at most this often
const shownTexts = ["", ""];
let refreshTimer = 0;
let refreshedAt = 0;

export async function openRunWindow(focus = true) {
  if (!app.runWindowOpen) {
    app.runWindowOpen = true;
    await call("setRunWindowOpen", 1);
    showTab("ablauf", true);
  }
  selectTab("ablauf", focus);
  refresh();
}

async function closeRunWindow() {
  app.runWindowOpen = false;
  await call("setRunWindowOpen", 0);
  showTab("ablauf", false);
  selectTab("hauptprogramm", true);
}

function programLines(slot) {
  const lines = editors[slot].text().split("\n");
  if (lines.length > 0 && lines[lines.length - 1] === "") lines.pop();
  return lines;
}

function showProgram(slot, view) {
  const text = editors[slot].text();
  if (text !== shownTexts[slot]) {
    shownTexts[slot] = text;
    view.replaceChildren(...programLines(slot).map((line, index) => {
      const number = element("span", { className: "line-number" }, String(index + 1));
      let mark = element("span", { className: "breakpoint-space" });
      if (slot === 0) {
        mark = element("button", { type: "button", className: "breakpoint" });
        mark.setAttribute("aria-label", `Haltepunkt in Zeile ${index + 1}`);
        mark.setAttribute("aria-pressed", "false");
        mark.addEventListener("click", () => toggleBreakpoint(index));
      }
      return element("li", { className: "program-line" }, mark, number, element("code", {}, line || " "));
    }));
  }
  const rows = view.children;
  for (let n = 0; n < rows.length; ++n) {
    rows[n].classList.toggle("next", view.next === n);
    rows[n].classList.toggle("failed", view.failed === n);
    if (view.next === n || view.failed === n) rows[n].setAttribute("aria-current", "step");
    else rows[n].removeAttribute("aria-current");
  }
}

async function toggleBreakpoint(line) {
  await flushPrograms();
  await call("toggleBreakpoint", line);
  refresh();
}

// "Haltepunkt an/aus": on the line whose breakpoint button has the focus, else on the main
// program editor's line.
export async function toggleBreakpointHere() {
  const focused = document.activeElement;
  const line = focused?.classList.contains("breakpoint")
    ? [...views[0].children].indexOf(focused.closest("li"))
    : editors[0].cursorLine() - 1;
  await openRunWindow(false);
  await toggleBreakpoint(line);
}

function cell(text, changed) {
  const td = element("td", {}, text);
  if (changed) td.className = "changed";
  return td;
}

function showVariables(list) {
  variables.replaceChildren(...list.map((v) => element("tr", {}, element("th", { scope: "row" }, v.name), cell(v.start), cell(v.value, v.changed))));
}

function watchRow(index, watch) {
  const term = element("input", { type: "text", value: watch?.term ?? "", spellcheck: false, placeholder: watch ? "" : kWatchHint });
  term.setAttribute("aria-label", watch ? `Beobachteter Term ${index + 1}` : kWatchHint);
  term.addEventListener("change", async () => {
    await call("setWatch", index, term.value);
    refresh(true);
  });
  const stopBox = element("input", { type: "checkbox", checked: watch?.stop ?? false, disabled: !watch });
  stopBox.setAttribute("aria-label", `Anhalten bei Änderung von ${watch?.term ?? "…"}`);
  stopBox.addEventListener("change", () => call("setWatchStop", index, stopBox.checked ? 1 : 0));
  return element("tr", {}, element("td", {}, term), cell(watch?.text ?? "", watch?.changed), element("td", {}, stopBox));
}

function showWatches(list) {
  const rows = [...watches.rows];
  // The same terms: the values in place, so that a term being typed keeps its field.
  if (rows.length === list.length + 1 && list.every((w, i) => rows[i].querySelector("input").value === w.term)) {
    list.forEach((w, i) => {
      const value = rows[i].cells[1];
      value.textContent = w.text;
      value.className = w.changed ? "changed" : "";
    });
    return;
  }
  watches.replaceChildren(...list.map((w, i) => watchRow(i, w)), watchRow(list.length, null));
}

function showState(view) {
  if (view.failed) return kFailedAt(view.failed.line + 1, kProgramNames[view.failed.slot]);
  if (view.state === 0) return kNoRun;
  if (view.state === 1) return kRunning;
  return kPausedBefore(view.next.line + 1) + kPauseReasons[view.pause];
}

async function show() {
  refreshedAt = performance.now();
  const view = await callJson("debugView");
  const breakpoints = new Set(view.breakpoints);
  views[0].next = view.next?.slot === 0 && !view.failed ? view.next.line : -1;
  views[1].next = -1;
  for (const [slot, v] of views.entries()) v.failed = view.failed?.slot === slot ? view.failed.line : -1;
  views.forEach((v, slot) => showProgram(slot, v));
  [...views[0].children].forEach((row, n) => {
    row.classList.toggle("has-breakpoint", breakpoints.has(n));
    row.querySelector(".breakpoint")?.setAttribute("aria-pressed", String(breakpoints.has(n)));
  });
  if (view.failed?.slot === 1) panel.querySelector("#ablauf-maus-bereich").open = true;
  showVariables(view.variables);
  showWatches(view.watches);
  rewriting.replaceChildren(...view.rewriting.flatMap((texts, t) =>
    [...(t > 0 ? [element("li", { className: "gap", ariaHidden: "true" })] : []), ...texts.map((x) => element("li", {}, element("code", {}, x)))]));
  state.textContent = showState(view);
  const step = kTempoSteps.indexOf(view.tempo);
  if (step >= 0 && Number(tempo.value) !== step) tempo.value = step;
  tempoText.textContent = kTempoText(view.tempo);
  tempo.setAttribute("aria-valuetext", kTempoText(view.tempo));
  if (app.running && !app.paused) refresh(); // follows the run
}

// Shows the newest state: while a run goes on at most every kRefreshMs.
export function refresh(now = false) {
  if (!app.runWindowOpen) return;
  clearTimeout(refreshTimer);
  const wait = app.running && !app.paused && !now ? kRefreshMs - (performance.now() - refreshedAt) : 0;
  refreshTimer = setTimeout(show, Math.max(0, wait));
}

// The instruments, as the "Start" menu and the keys run them.
export async function singleStep() {
  await flushPrograms();
  await openRunWindow(false);
  if (!app.running) window.ombrixRun = { done: false, boxes: [] };
  app.running = true;
  await call("singleStep");
  refresh(true);
}

export async function stepBack() {
  await call("stepBack");
  refresh(true);
}

export async function continueRun() {
  if (!app.paused) return;
  await call("continue");
  refresh(true);
}

panel.querySelector("#ab-abbrechen").addEventListener("click", stop);
panel.querySelector("#ab-einzelschritt").addEventListener("click", singleStep);
panel.querySelector("#ab-zurueck").addEventListener("click", stepBack);
panel.querySelector("#ab-fortsetzen").addEventListener("click", continueRun);
panel.querySelector("#ab-haltepunkt").addEventListener("click", toggleBreakpointHere);
panel.querySelector("#ab-schliessen").addEventListener("click", closeRunWindow);
tempo.max = kTempoSteps.length - 1;
tempo.addEventListener("input", async () => {
  await call("setTempo", kTempoSteps[Number(tempo.value)]);
  refresh(true);
});

on("run", () => refresh());
// Start values and the separator of every shown number come from the tables.
on("document", () => refresh(true));
on("projectOpened", () => {
  shownTexts[0] = shownTexts[1] = null;
  refresh(true);
});
