// The controls ("Regler"): a slider for a real start value, a point on the picture for a
// complex one, "live" to start the main program anew on every change.
import { call } from "./engine.js";
import { element, formDialog, showBox } from "./boxes.js";
import { refreshDocument } from "./tables.js";
import { controlChanged } from "./run.js";
import { kLiveHint, kMissingVariable, kNoControls, kNoVariableLeft } from "./texts.js";
import { app, markChanged, on } from "./state.js";

const panel = document.getElementById("panel-regler");
const list = panel.querySelector(".controls");
const liveBox = panel.querySelector("#live");

// A change of a start value: the project changed, and with "live" a new picture.
async function changed(dragging) {
  markChanged();
  await refreshDocument();
  controlChanged(dragging);
}

function sliderRow(control, index) {
  const slider = element("input", { type: "range", min: 0, max: control.positions, step: 1, value: control.position });
  slider.setAttribute("aria-label", `Schieberegler ${control.variable}`);
  slider.setAttribute("aria-valuetext", control.value);
  let held = false;
  slider.addEventListener("pointerdown", () => (held = true));
  slider.addEventListener("input", async () => {
    await call("setSliderPosition", index, slider.value);
    await changed(held);
  });
  slider.addEventListener("change", () => {
    if (!held) return;
    held = false;
    controlChanged(false); // let go: the newest value gets its picture
  });
  return slider;
}

const keyOf = (controls) => controls.map((c) => `${c.point}|${c.missing}|${c.variable}|${c.positions}`).join("\n");
let shownKey = null;

function render() {
  liveBox.checked = app.doc.live;
  const key = keyOf(app.doc.controls);
  if (key === shownKey) {
    // The same controls: values in place, so that a slider being dragged stays under the pointer.
    [...list.children].forEach((row, index) => {
      const control = app.doc.controls[index];
      row.querySelector(".control-value").textContent = control.value;
      const slider = row.querySelector("input[type=range]");
      if (slider) {
        if (Number(slider.value) !== control.position) slider.value = control.position;
        slider.setAttribute("aria-valuetext", control.value);
      }
    });
    return;
  }
  shownKey = key;
  const rows = app.doc.controls.map((control, index) => {
    const remove = element("button", { type: "button", className: "remove" }, "×");
    remove.setAttribute("aria-label", `Regler entfernen: ${control.variable}`);
    remove.title = "Regler entfernen";
    remove.addEventListener("click", async () => {
      await call("removeControl", index);
      markChanged();
      await refreshDocument();
    });
    const what = control.missing
      ? element("span", {}, kMissingVariable)
      : control.point ? element("span", {}, "Punkt im Bild") : sliderRow(control, index);
    return element("li", { className: "control" }, element("span", { className: "control-name" }, control.variable),
      what, element("output", { className: "control-value" }, control.value), remove);
  });
  list.replaceChildren(...rows);
  panel.querySelector(".no-controls").hidden = rows.length > 0;
}

// The variables that may still get a control: the engine refuses the others.
async function askForControl(slider) {
  const names = [];
  for (const { name } of app.doc.variables) {
    if (["i", "e", "pi"].includes(name.toLowerCase())) continue;
    if (app.doc.controls.some((c) => c.variable.toLowerCase() === name.toLowerCase())) continue;
    names.push(name);
  }
  if (names.length === 0) {
    await showBox("Information", kNoVariableLeft);
    return;
  }
  const fields = [{ label: "Variable:", options: names }];
  if (slider) fields.push({ label: "Minimum:", value: "0" }, { label: "Maximum:", value: "10" }, { label: "Schrittweite:", value: "1" });
  const done = await formDialog(slider ? "Schieberegler hinzufügen" : "Punkt hinzufügen", fields, (values) =>
    slider ? call("addSlider", ...values) : call("addPoint", values[0]));
  if (!done) return;
  markChanged();
  await refreshDocument();
}

panel.querySelector(".add-slider").addEventListener("click", () => askForControl(true));
panel.querySelector(".add-point").addEventListener("click", () => askForControl(false));
liveBox.title = kLiveHint;
liveBox.addEventListener("change", async () => {
  await call("setLive", liveBox.checked ? 1 : 0);
  app.doc.live = liveBox.checked;
});
panel.querySelector(".no-controls").textContent = kNoControls;

on("document", render);
on("live", render);
// A handle dragged on the picture or moved with the keys.
on("handleMoved", (dragging) => changed(dragging));
