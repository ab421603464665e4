// The page: its actions made in one place (menus and keys run the same ones), the status
// bar, and the start: the engine, the decimal separator of the browser's language, the
// start picture, and a project from the address (an example or a link).
import { call, on as onEngine } from "./engine.js";
import { addMenu, setEnabled } from "./menus.js";
import { showBox } from "./boxes.js";
import { setVocabulary } from "./editor.js";
import { editors } from "./programs.js";
import { refreshDocument, setUpTables } from "./tables.js";
import { selectTab, onTabSelected } from "./tabs.js";
import { start, stop } from "./run.js";
import { exportSvg, loadBitmap, loadPictureFile, printPicture, savePng } from "./picture.js";
import { copyLink, newProject, openDropped, openExample, openLink, openProject, saveProject, saveProjectAs } from "./project.js";
import { continueRun, openRunWindow, singleStep, stepBack, toggleBreakpointHere } from "./ablauf.js";
import { loadGuide } from "./guide.js";
import { chooseFiles } from "./files.js";
import "./controls.js";
import { kAboutText, kAboutTitle, kChanged, kPausedStatus } from "./texts.js";
import { app, on } from "./state.js";

const tab = (name) => () => selectTab(name, true);

// Every action: its caption, its key (as shown) and what it does; `locked` ones are
// disabled while the main program runs.
const actions = {
  neu: { caption: "Neues Projekt", key: "Strg+Alt+N", run: newProject, locked: true },
  oeffnen: { caption: "Projekt öffnen", key: "Strg+O", run: openProject, locked: true },
  speichern: { caption: "Projekt speichern", key: "Strg+S", run: saveProject, locked: true },
  speichernUnter: { caption: "Projekt speichern unter", key: "Strg+Alt+S", run: saveProjectAs, locked: true },
  link: { caption: "Link kopieren", run: copyLink },
  bildOeffnen: {
    caption: "Bild öffnen", key: "Alt+Umschalt+O", locked: true,
    run: async () => {
      const [chosen] = await chooseFiles(".png,.jpg,.jpeg,.bmp,image/png,image/jpeg,image/bmp", false);
      if (chosen) await loadPictureFile(chosen.file);
    },
  },
  bildSpeichern: { caption: "Bild speichern unter", key: "Alt+Umschalt+S", run: savePng },
  bildExportieren: { caption: "Bild exportieren …", run: exportSvg },
  bildDrucken: { caption: "Bild drucken …", key: "Strg+P", run: printPicture },
  funktionen: { caption: "Funktionen", run: tab("funktionen"), locked: true },
  variablen: { caption: "Variablen", run: tab("variablen"), locked: true },
  hauptprogramm: { caption: "Hauptprogramm", key: "Strg+H", run: tab("hauptprogramm"), locked: true },
  mausprogramm: { caption: "Ereignisbehandlung für 'Mausknopf gedrückt'", key: "Strg+M", run: tab("mausprogramm"), locked: true },
  regler: { caption: "Regler", run: tab("regler") },
  starten: { caption: "Starten", key: "F1", run: start, locked: true },
  abbrechen: { caption: "Abbrechen", key: "F2", run: stop },
  einzelschritt: { caption: "Einzelschritt", key: "F8", run: singleStep },
  zurueck: { caption: "Schritt zurück", key: "Umschalt+F8", run: stepBack },
  fortsetzen: { caption: "Fortsetzen", key: "F5", run: continueRun },
  haltepunkt: { caption: "Haltepunkt an/aus", key: "F9", run: toggleBreakpointHere },
  ablauf: { caption: "Ablauf anzeigen", run: () => openRunWindow() },
  sprachuebersicht: { caption: "Sprachübersicht", run: tab("hilfe") },
  ueber: { caption: kAboutTitle, run: () => showBox(kAboutTitle, `Ombrix 0.98 (mit Formulon 2.11)\n\n${kAboutText}`) },
};

// The keys as KeyboardEvent describes them.
const keys = {
  "ctrl+alt+n": "neu", "ctrl+o": "oeffnen", "ctrl+s": "speichern", "ctrl+alt+s": "speichernUnter",
  "alt+shift+o": "bildOeffnen", "alt+shift+s": "bildSpeichern", "ctrl+p": "bildDrucken",
  "ctrl+h": "hauptprogramm", "ctrl+m": "mausprogramm", f1: "starten", f2: "abbrechen", f8: "einzelschritt",
  "shift+f8": "zurueck", f5: "fortsetzen", f9: "haltepunkt",
};

function keyName(event) {
  const key = event.code.startsWith("Key") ? event.code.slice(3).toLowerCase() : event.key.toLowerCase();
  return [event.ctrlKey && "ctrl", event.altKey && "alt", event.shiftKey && "shift", key].filter(Boolean).join("+");
}

document.addEventListener("keydown", (event) => {
  const name = keys[keyName(event)];
  if (!name || document.querySelector("dialog[open]")) return;
  event.preventDefault();
  const action = actions[name];
  if (!(action.locked && app.running)) action.run();
});

const entry = (name) => ({ ...actions[name], name });
const menuItems = {};
function menu(caption, names) {
  Object.assign(menuItems, addMenu(caption, names.map((n) => (typeof n === "string" && n !== "-" ? entry(n) : n))));
}
menu("Datei", ["neu", "-", "oeffnen", "speichern", "speichernUnter", "link", "-", "bildOeffnen", "bildSpeichern", "bildExportieren", "bildDrucken"]);
menu("Bearbeiten", ["funktionen", "variablen", "-", "hauptprogramm", "mausprogramm", "-", "regler"]);
menu("Start", ["starten", "abbrechen", "-", "einzelschritt", "zurueck", "fortsetzen", "haltepunkt", "-", "ablauf"]);

// The status bar: the project's file, "geändert", the pause.
const statusFile = document.getElementById("status-datei");
const statusChanged = document.getElementById("status-geaendert");
const statusPause = document.getElementById("status-pause");
function showStatus() {
  statusFile.textContent = app.fileName;
  statusChanged.textContent = app.changed ? kChanged : "";
  statusPause.textContent = app.paused ? kPausedStatus(app.pausedAt) : "";
  document.title = `${app.fileName}${app.changed ? " *" : ""} – Ombrix`;
}
on("changed", showStatus);
on("run", () => {
  showStatus();
  for (const action of Object.values(actions)) {
    const item = menuItems[action.caption];
    if (item && action.locked) setEnabled(item, !app.running);
  }
  document.getElementById("starten").disabled = app.running;
  document.getElementById("abbrechen").disabled = !app.running;
  document.body.classList.toggle("running", app.running);
});
document.getElementById("starten").addEventListener("click", start);
document.getElementById("abbrechen").addEventListener("click", stop);
onTabSelected((name) => {
  if (name === "hilfe") loadGuide();
});

// Projects and pictures dropped onto the page.
document.addEventListener("dragover", (event) => event.preventDefault());
document.addEventListener("drop", (event) => {
  event.preventDefault();
  const files = [...event.dataTransfer.files];
  if (files.length === 0) return;
  if (/\.(png|jpe?g|bmp)$/i.test(files[0].name)) loadPictureFile(files[0]);
  else openDropped(files);
});

// The decimal separator of the browser's language, as the desktop takes the system's.
function separator() {
  return new Intl.NumberFormat(navigator.language).format(1.5).charAt(1) === "," ? "," : ".";
}
// Shown numbers follow at once: the tables beside the picture are always open.
window.addEventListener("languagechange", async () => {
  await call("separator", separator());
  await refreshDocument();
});

async function startPicture() {
  const blob = await (await fetch("start.png")).blob();
  await loadBitmap(await createImageBitmap(blob, { colorSpaceConversion: "none" }));
}

onEngine("ready", async ({ vocabulary }) => {
  setVocabulary(vocabulary);
  setUpTables(vocabulary.builtins);
  for (const editor of editors) editor.refresh();
});

(async () => {
  call("separator", separator());
  const list = await (await fetch("examples/index.json")).json();
  addMenu("Hilfe", [entry("sprachuebersicht"), { group: "Beispiele" },
    ...list.map((example) => ({ caption: example.title, run: () => openExample(example) })), "-", entry("ueber")]);
  await startPicture();
  await refreshDocument();
  showStatus();
  const query = new URLSearchParams(location.search);
  const wanted = list.find((e) => e.file === query.get("projekt"));
  if (!(await openLink()) && wanted) await openExample(wanted);
  document.body.dataset.ready = "true";
  if (query.has("start")) start();
})();

// For the tests and measurements: answers once the worker has done everything sent before.
window.ombrixSync = () => call("sync");

if ("serviceWorker" in navigator && location.protocol !== "file:") {
  navigator.serviceWorker.register("sw.js").catch(() => {});
}
