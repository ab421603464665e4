// The function table and the variable table beside the picture: the built-ins, each
// entry's name and term (a function's term, a variable's start value), a field for a new
// name, and a button to delete an entry; the desktop's rules and messages.
import { call, callJson } from "./engine.js";
import { confirmBox, element, showBox } from "./boxes.js";
import { kBadValue, kConfirmDelete, kDeleteI, kResetI, kTables, kTaken } from "./texts.js";
import { app, emit, markChanged, on } from "./state.js";

// The document again from the engine, to every module.
export async function refreshDocument() {
  app.doc = await callJson("document");
  emit("document");
}

// NameCheck: free, unsuitable, taken, table full.
async function addEntry(kind, input) {
  const texts = kTables[kind];
  const name = input.value;
  const check = Number(await call("checkNewName", kind === "variables" ? 1 : 0, name));
  const refused = [null, texts.unsuitable, kTaken(texts.noun, name), texts.full][check];
  if (refused) {
    await showBox("Fehler", refused);
    input.focus();
    return;
  }
  await call(kind === "variables" ? "addVariable" : "addFunction", name);
  markChanged();
  if (kind === "variables") input.value = "";
  await refreshDocument();
  // The next thing to type is the new entry's value.
  const fields = document.querySelectorAll(`#panel-${kind === "variables" ? "variablen" : "funktionen"} tbody input`);
  fields[fields.length - 1]?.focus();
}

async function deleteEntry(kind, index, name) {
  if (kind === "variables" && name === "i") {
    await showBox("Fehler", kDeleteI);
    return;
  }
  if (!(await confirmBox(kConfirmDelete(kTables[kind].entry, name)))) return;
  await call(kind === "variables" ? "deleteVariable" : "deleteFunction", index);
  markChanged();
  await refreshDocument();
}

async function commitFunction(index, input) {
  await call("setFunctionTerm", index, input.value);
  markChanged();
  await refreshDocument();
}

async function commitVariable(index, name, input) {
  let shown = await call("setVariableValue", index, input.value);
  if (name === "i" && shown !== "i") {
    shown = await call("setVariableValue", index, "i");
    input.value = "i";
    await showBox("Information", kResetI);
  }
  if (shown.startsWith("?")) {
    input.setAttribute("aria-invalid", "true");
    if (shown.length > 1) await showBox("Fehler", kBadValue(name, shown.slice(2)));
    input.focus();
    return;
  }
  input.removeAttribute("aria-invalid");
  markChanged();
  await refreshDocument();
}

function row(name, field, remove) {
  return element("tr", {}, element("th", { scope: "row" }, name), element("td", {}, field), element("td", {}, remove));
}

function valueField(label, value, commit) {
  const input = element("input", { type: "text", value, spellcheck: false, className: "term" });
  input.setAttribute("aria-label", label);
  // Typed and not yet committed: the field keeps what the user typed.
  input.addEventListener("input", () => (input.dataset.edited = "true"));
  input.addEventListener("change", () => {
    delete input.dataset.edited;
    commit(input);
  });
  input.addEventListener("keydown", (event) => {
    if (event.key === "Enter") input.dispatchEvent(new Event("change"));
  });
  return input;
}

function render(kind) {
  const texts = kTables[kind];
  const panel = document.getElementById(kind === "variables" ? "panel-variablen" : "panel-funktionen");
  const body = panel.querySelector("tbody");
  const entries = kind === "variables" ? app.doc.variables : app.doc.functions;
  const shown = [...body.rows];
  // The same entries: values and states in place, so that the focus and a field being
  // edited stay.
  if (shown.length === entries.length && shown.every((r, i) => r.cells[0].textContent === entries[i].name)) {
    shown.forEach((r, i) => {
      const input = r.querySelector("input");
      const value = kind === "variables" ? entries[i].start : entries[i].term;
      if (!input.dataset.edited && !input.hasAttribute("aria-invalid")) input.value = value;
      input.disabled = app.running;
      r.querySelector("button").disabled = app.running;
    });
    for (const control of panel.querySelectorAll(".new-entry input, .new-entry button")) control.disabled = app.running;
    return;
  }
  const rows = entries.map((entry, index) => {
    const name = entry.name;
    const field = kind === "variables"
      ? valueField(`${texts.valueColumn}: ${name}`, entry.start, (input) => commitVariable(index, name, input))
      : valueField(`${texts.valueColumn}: ${name}`, entry.term, (input) => commitFunction(index, input));
    field.disabled = app.running;
    const remove = element("button", { type: "button", className: "remove", disabled: app.running }, "×");
    remove.setAttribute("aria-label", `${texts.remove}: ${name}`);
    remove.title = texts.remove;
    remove.addEventListener("click", () => deleteEntry(kind, index, name));
    return row(name, field, remove);
  });
  body.replaceChildren(...rows);
  for (const control of panel.querySelectorAll(".new-entry input, .new-entry button")) control.disabled = app.running;
}

export function setUpTables(builtinNames) {
  for (const kind of ["functions", "variables"]) {
    const panel = document.getElementById(kind === "variables" ? "panel-variablen" : "panel-funktionen");
    const input = panel.querySelector(".new-entry input");
    panel.querySelector(".new-entry button").addEventListener("click", () => addEntry(kind, input));
    input.addEventListener("keydown", (event) => {
      if (event.key === "Enter") addEntry(kind, input);
    });
  }
  const builtins = document.querySelector("#panel-funktionen .builtins tbody");
  builtins.replaceChildren(...builtinNames.map((n) => row(n, kTables.functions.builtin, "")));
  on("document", () => {
    render("functions");
    render("variables");
  });
  on("run", () => {
    render("functions");
    render("variables");
  });
}
