// The project's life on the page: new, open (file picker, dropped files, examples, links),
// save (into the chosen file where the browser can, else as a download), the controls'
// side file beside it, "Link kopieren", and the question before changes are discarded.
import { call, callJson } from "./engine.js";
import { confirmBox, element, showBox } from "./boxes.js";
import { loadPrograms, flushPrograms } from "./programs.js";
import { refreshDocument } from "./tables.js";
import { forgetGround } from "./picture.js";
import { uncheckBoth } from "./run.js";
import { selectTab } from "./tabs.js";
import { canChooseFiles, chooseFiles, saveFile } from "./files.js";
import { linkOf, projectOfLink } from "./share.js";
import { kBadLink, kConfirmDiscard, kLinkCopied, kLinkShown, kUnnamed } from "./texts.js";
import { app, emit } from "./state.js";

const kSideSuffix = ".regler";
const kProjectType = { description: "Ombrix-Projekt", accept: { "application/x-ombrix-project": [".omp"] } };
const kSideType = { description: "Ombrix-Regler", accept: { "text/plain": [".regler"] } };
// Where "Projekt speichern" writes: the chosen files, where the browser lets the page keep them.
let handles = { project: null, side: null };

function setName(name, copyOf = "") {
  app.fileName = name;
  app.copyOf = copyOf;
  app.changed = false;
  emit("changed");
}

// Unsaved changes are not dropped without a question.
async function mayDiscard() {
  return !app.changed || (await confirmBox(kConfirmDiscard));
}

export async function newProject() {
  if (app.running || !(await mayDiscard())) return;
  await call("newProject");
  forgetGround();
  handles = { project: null, side: null };
  setName(kUnnamed);
  await refreshDocument();
  await loadPrograms();
  emit("projectOpened");
}

// Opens a project from its bytes (and its side file's), to be saved into `opened` (the
// files' handles, where the browser gave them). False when it cannot be read: the open
// project stays then.
async function openBytes(bytes, name, side, { copy = false, opened = { project: null, side: null } } = {}) {
  const answer = await call("open", bytes, name);
  if (answer.length > 1) {
    await showBox("Fehler", answer.slice(1));
    return false;
  }
  // With the name, at once: a save while the rest loads writes into these files, never
  // into the ones of the project before.
  handles = copy ? { project: null, side: null } : opened;
  setName(copy ? kUnnamed : name, copy ? name : "");
  // Converted from the other decimal separator, it differs from its file until saved.
  if (answer === "1") {
    app.changed = true;
    emit("changed");
  }
  if (side) {
    const message = await call("openControls", side.bytes, side.name);
    if (message) await showBox("Fehler", message);
  }
  await refreshDocument();
  await loadPrograms();
  emit("projectOpened");
  selectTab(app.doc.controls.length > 0 ? "regler" : "hauptprogramm");
  return true;
}

async function bytesOf(file) {
  return new Uint8Array(await file.arrayBuffer());
}

// Files chosen or dropped: a project and, if among them, its side file.
async function openFiles(entries) {
  const project = entries.find((e) => !e.file.name.toLowerCase().endsWith(kSideSuffix));
  if (!project) return;
  const side = entries.find((e) => e.file.name === project.file.name + kSideSuffix);
  await openBytes(await bytesOf(project.file), project.file.name,
    side && { bytes: await bytesOf(side.file), name: side.file.name },
    { opened: { project: project.handle, side: side?.handle || null } });
}

export async function openProject() {
  if (app.running) return;
  await uncheckBoth();
  if (!(await mayDiscard())) return;
  let entries;
  if (typeof window.showOpenFilePicker === "function") {
    try {
      const chosen = await window.showOpenFilePicker({ multiple: true, types: [kProjectType, kSideType] });
      entries = await Promise.all(chosen.map(async (handle) => ({ file: await handle.getFile(), handle })));
    } catch {
      return;
    }
  } else {
    entries = await chooseFiles(".omp,.regler", true);
  }
  await openFiles(entries);
}

export async function openDropped(files) {
  if (app.running || !(await mayDiscard())) return;
  await uncheckBoth();
  await openFiles([...files].map((file) => ({ file, handle: null })));
}

export async function openExample({ file, regler }) {
  if (app.running) return;
  await uncheckBoth();
  if (!(await mayDiscard())) return;
  const bytes = new Uint8Array(await (await fetch(`examples/${file}`)).arrayBuffer());
  const side = regler
    ? { bytes: new Uint8Array(await (await fetch(`examples/${file}${kSideSuffix}`)).arrayBuffer()), name: file + kSideSuffix }
    : null;
  await openBytes(bytes, file, side, { copy: true });
}

// The project file's bytes and the side file's (empty without controls), or null after
// the message why the project cannot be saved.
export async function projectBytes() {
  await flushPrograms();
  const answer = await call("save");
  if (answer[0] !== 0x31) {
    await showBox("Fehler", new TextDecoder().decode(answer.subarray(1)));
    return null;
  }
  return { project: answer.slice(1), side: await call("controlsBytes") };
}

async function write(name, useHandles) {
  await uncheckBoth();
  const files = await projectBytes();
  if (!files) return false;
  const project = await saveFile(new Blob([files.project]), name, kProjectType, useHandles ? handles.project : null);
  if (project === undefined) return false;
  let side = useHandles ? handles.side : null;
  if (files.side.length > 0) {
    const sideName = (project?.name || name) + kSideSuffix;
    if (project && !side) {
      await showBox("Information", `Die Regler des Projekts gehören in die Datei „${sideName}“ daneben.\nBitte wählen Sie sie im nächsten Fenster.`);
    }
    side = await saveFile(new Blob([files.side]), sideName, kSideType, side);
  } else if (side) {
    await side.remove?.(); // a project never meets the controls of another
    side = null;
  }
  handles = { project: project || null, side: side || null };
  setName(project?.name || name);
  return true;
}

export async function saveProject() {
  if (app.running) return;
  if (app.fileName === kUnnamed) return saveProjectAs();
  return write(app.fileName, true);
}

export async function saveProjectAs() {
  if (app.running) return;
  const suggested = app.fileName !== kUnnamed ? app.fileName : app.copyOf || "projekt.omp";
  return write(suggested, false);
}

// "Link kopieren": the address with the whole project in it, into the clipboard.
export async function copyLink() {
  const files = await projectBytes();
  if (!files) return;
  const link = linkOf(location.href.split("#")[0].split("?")[0], files.project, files.side);
  try {
    await navigator.clipboard.writeText(link);
    await showBox("Information", kLinkCopied);
  } catch {
    await showLink(link);
  }
}

// Where the clipboard is closed to the page, the link in a field to copy by hand.
function showLink(link) {
  const field = element("textarea", { readOnly: true, rows: 4, value: link, className: "link-field" });
  field.setAttribute("aria-label", "Link");
  const dialog = element("dialog", { className: "box" }, element("h2", { id: "link-title" }, "Link kopieren"),
    element("p", {}, kLinkShown), field,
    element("div", { className: "box-buttons" }, element("button", { type: "button", onclick: () => dialog.close() }, "OK")));
  dialog.setAttribute("aria-labelledby", "link-title");
  document.body.append(dialog);
  dialog.addEventListener("close", () => dialog.remove());
  dialog.showModal();
  field.select();
  return new Promise((resolve) => dialog.addEventListener("close", resolve));
}

// A link's project opens as an unnamed copy; the address then loses it again.
export async function openLink() {
  const found = projectOfLink(location.hash);
  if (!found) return false;
  history.replaceState(null, "", location.href.split("#")[0]);
  if (found.error) {
    await showBox("Fehler", kBadLink);
    return false;
  }
  // As an unnamed copy of "projekt.omp", the name "Speichern unter" suggests.
  return openBytes(found.project, "projekt.omp", found.side && { bytes: found.side, name: "projekt.omp.regler" }, { copy: true });
}

window.addEventListener("hashchange", () => {
  if (location.hash.includes("projekt=")) mayDiscard().then((yes) => yes && openLink());
});

window.addEventListener("beforeunload", (event) => {
  if (app.changed) event.preventDefault();
});

export { callJson };
