// Both programs in their editors beside the picture: every change goes to the engine (a
// moment later, or at once before anything reads the programs), with the first broken
// block marked; "Neu formatieren" re-indents through the engine's own formatting.
import { call, callJson } from "./engine.js";
import { createEditor, kMaxLineLength, setProjectNames } from "./editor.js";
import { showBox } from "./boxes.js";
import { kLineTooLong, kProgramNames } from "./texts.js";
import { app, markChanged, on } from "./state.js";

const kSyncMs = 300;
export const editors = [];
const pendingSync = [null, null];

function sync(slot) {
  clearTimeout(pendingSync[slot]);
  pendingSync[slot] = null;
  return call("setProgram", slot, editors[slot].text()).then((fault) => {
    editors[slot].mark({ structure: Number(fault) });
  });
}

// Every pending change into the engine, before a run, a save or a step reads the programs.
export function flushPrograms() {
  return Promise.all([0, 1].filter((s) => pendingSync[s] !== null).map(sync));
}

for (const slot of [0, 1]) {
  const panel = document.getElementById(slot === 0 ? "panel-hauptprogramm" : "panel-mausprogramm");
  const line = panel.querySelector(".cursor-line");
  const editor = createEditor(panel.querySelector(".editor"), {
    label: kProgramNames[slot],
    onEdit() {
      markChanged();
      clearTimeout(pendingSync[slot]);
      pendingSync[slot] = setTimeout(() => sync(slot), kSyncMs);
    },
    onTooLong: (length) => showBox("Fehler", kLineTooLong(kMaxLineLength, length)),
    onCursor: (n) => (line.textContent = `Zeile ${n}`),
  });
  editors.push(editor);
  panel.querySelector(".format").addEventListener("click", async () => {
    await flushPrograms();
    const formatted = await callJson("format", editor.text());
    const cursor = editor.cursorLine();
    editor.setText(formatted.lines.join("\n"));
    const target = editor.view.state.doc.line(Math.min(cursor, editor.view.state.doc.lines));
    editor.view.dispatch({ selection: { anchor: target.to }, scrollIntoView: true });
    editor.mark({ structure: formatted.fault });
    await sync(slot);
    editor.focus();
  });
}

// The programs as the editors show them when a project is opened: formatted, structure
// checked (the engine shows the structure message), nothing selected.
export async function loadPrograms() {
  for (const slot of [0, 1]) {
    const shown = await callJson("editorText", slot);
    editors[slot].setText(shown.lines.join("\n"));
    editors[slot].mark({ failed: -1, structure: shown.fault });
    clearTimeout(pendingSync[slot]);
    pendingSync[slot] = null;
  }
}

on("document", () => {
  setProjectNames(app.doc.functions.map((f) => f.name), app.doc.variables.map((v) => v.name));
  for (const editor of editors) editor.refresh();
});

on("run", () => {
  for (const editor of editors) editor.setReadOnly(app.running);
});

// After a failed step: the program's editor shows, the failed line selected and marked.
export function showFailure(slot, line, stored) {
  editors[slot].mark({ failed: line });
  editors[slot].selectStored(stored);
}
