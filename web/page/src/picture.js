// The picture: the canvas holding the picture's own pixels (scaled without smoothing), the
// mouse or a finger over it (the position as a complex number, the mouse-click program on
// press and drag), the handles of point controls over it, and the picture's files: saved
// as PNG, exported as SVG, a PNG, JPEG or BMP loaded as the picture, printed.
import { call, on as onEngine, send } from "./engine.js";
import { element, showBox } from "./boxes.js";
import { kPictureRefused, kUnknownPictureExtension, kUnnamed } from "./texts.js";
import { app, emit, on } from "./state.js";
import { saveFile } from "./files.js";
import { refreshDocument } from "./tables.js";

const canvas = document.getElementById("bild");
const context = canvas.getContext("2d");
const handles = document.getElementById("griffe");
let frozen = false; // a live run draws: the last finished picture stays
let latest = null;
// The data URL of the loaded picture the commands drew over, for the SVG export.
let ground = "";

function paint(picture) {
  if (canvas.width !== picture.width || canvas.height !== picture.height) {
    canvas.width = picture.width;
    canvas.height = picture.height;
    canvas.style.setProperty("--picture-width", picture.width);
    showHandles();
  }
  context.putImageData(new ImageData(new Uint8ClampedArray(picture.rgba.buffer), picture.width, picture.height), 0, 0);
}

onEngine("picture", (picture) => {
  latest = picture;
  if (!frozen) paint(picture);
});

on("freeze", (on) => {
  frozen = on;
  if (!on && latest) paint(latest);
});

// The pointer in picture pixels: measured inside the canvas's border, which the bounding
// box includes (with it the right and lower pixels came out one too far left and up).
function pixelOf(event) {
  const box = canvas.getBoundingClientRect();
  return {
    x: Math.floor(((event.clientX - box.left - canvas.clientLeft) * canvas.width) / canvas.clientWidth),
    y: Math.floor(((event.clientY - box.top - canvas.clientTop) * canvas.height) / canvas.clientHeight),
  };
}

// A finger covers far more than the mouse's pointer: it takes the nearest handle within
// this many screen pixels (a target of 44), which then keeps its distance to the finger.
const kFingerReach = 22;

function handleNearFinger(event, { x, y }) {
  if (event.pointerType !== "touch") return null;
  const screenPerPixel = canvas.clientWidth / canvas.width;
  let nearest = null;
  for (const control of app.doc.controls) {
    if (!control.point || control.x === undefined) continue;
    const distance = Math.hypot(control.x - x, control.y - y) * screenPerPixel;
    if (distance <= kFingerReach && (!nearest || distance < nearest.distance)) {
      nearest = { distance, x: control.x, y: control.y };
    }
  }
  return nearest;
}

let dragging = false; // a handle is held
let heldAt = { x: 0, y: 0 }; // the pointer's distance to the held handle, in pixels
canvas.addEventListener("pointerdown", async (event) => {
  if (event.button !== 0 && event.pointerType === "mouse") return;
  canvas.setPointerCapture(event.pointerId);
  const { x, y } = pixelOf(event);
  app.pointerSeen = true;
  if (app.doc.controls.some((c) => c.point && c.x !== undefined)) {
    dragging = true; // until the engine says no handle lies there
    const grab = handleNearFinger(event, { x, y }) || { x, y };
    heldAt = { x: x - grab.x, y: y - grab.y };
    if (Number(await call("grabHandle", grab.x, grab.y)) >= 0) return;
    dragging = false;
  }
  send("press", x, y);
});
canvas.addEventListener("pointermove", async (event) => {
  const { x, y } = pixelOf(event);
  app.pointerSeen = true;
  if (!dragging) {
    send("move", x, y);
    return;
  }
  if (Number(await call("dragHandleTo", x - heldAt.x, y - heldAt.y))) emit("handleMoved", true);
});
function release() {
  if (dragging) {
    dragging = false;
    emit("handleMoved", false);
  } else {
    send("release");
  }
}
canvas.addEventListener("pointerup", release);
canvas.addEventListener("pointercancel", release);

// The handles of the point controls, as buttons over the picture: dragged on the picture,
// or moved with the arrow keys (a pixel a press, ten with Shift).
function showHandles() {
  const scale = 100 / canvas.width;
  const scaleY = 100 / canvas.height;
  const buttons = app.doc.controls
    .map((control, index) => ({ control, index }))
    .filter(({ control }) => control.point && control.x !== undefined)
    .map(({ control, index }) => {
      const handle = element("button", { type: "button", className: "handle", tabIndex: 0 });
      handle.setAttribute("aria-label", `Punkt ${control.variable}: ${control.value}`);
      handle.title = `${control.variable} = ${control.value}`;
      handle.style.left = `${(control.x + 0.5) * scale}%`;
      handle.style.top = `${(control.y + 0.5) * scaleY}%`;
      handle.dataset.index = index;
      handle.append(element("span", { className: "handle-name", ariaHidden: "true" }, control.variable));
      handle.addEventListener("keydown", async (event) => {
        const step = event.shiftKey ? 10 : 1;
        const by = { ArrowLeft: [-step, 0], ArrowRight: [step, 0], ArrowUp: [0, -step], ArrowDown: [0, step] }[event.key];
        if (!by) return;
        event.preventDefault();
        if (Number(await call("moveHandle", index, by[0], by[1]))) emit("handleMoved", false);
      });
      return handle;
    });
  const focused = document.activeElement?.classList.contains("handle") ? document.activeElement.dataset.index : null;
  handles.replaceChildren(...buttons);
  if (focused !== null) handles.querySelector(`[data-index="${focused}"]`)?.focus();
}
on("document", showHandles);

// A run may have set another scale: the handles move to where their values lie under it.
let wasRunning = false;
onEngine("status", ({ status }) => {
  const ended = wasRunning && !status.running;
  wasRunning = status.running;
  if (ended && app.doc.controls.some((c) => c.point)) refreshDocument();
});

// ------------------------------------------------------------------ files

export async function savePng() {
  const blob = await new Promise((resolve) => canvas.toBlob(resolve, "image/png"));
  await saveFile(blob, "bild.png", { description: "PNG-Bild", accept: { "image/png": [".png"] } });
}

export async function exportSvg() {
  const needs = Number(await call("svgNeeds"));
  const pixels = needs === 2 ? (latest ? canvas.toDataURL("image/png") : "") : "";
  const svg = await call("svg", needs === 1 ? ground : "", pixels);
  await saveFile(new Blob([svg], { type: "image/svg+xml" }), "bild.svg",
    { description: "SVG-Grafik", accept: { "image/svg+xml": [".svg"] } });
}

export function svgText() {
  return call("svgNeeds").then((needs) =>
    call("svg", Number(needs) === 1 ? ground : "", Number(needs) === 2 ? canvas.toDataURL("image/png") : ""));
}

const kPictureTypes = ["png", "jpg", "jpeg", "bmp"];

// "Bild öffnen": the picture takes the file's pixels and size.
export async function loadPictureFile(file) {
  const extension = (file.name.match(/\.([^.]*)$/)?.[1] || "").toLowerCase();
  if (!kPictureTypes.includes(extension)) {
    await showBox("Fehler", kUnknownPictureExtension(extension));
    return;
  }
  let bitmap;
  try {
    bitmap = await createImageBitmap(file, { colorSpaceConversion: "none", premultiplyAlpha: "none" });
  } catch {
    await showBox("Fehler", kPictureRefused(file.name));
    return;
  }
  await loadBitmap(bitmap);
}

export async function loadBitmap(bitmap) {
  const scratch = element("canvas", { width: bitmap.width, height: bitmap.height });
  const drawing = scratch.getContext("2d");
  drawing.fillStyle = "#fff"; // transparent parts on white
  drawing.fillRect(0, 0, bitmap.width, bitmap.height);
  drawing.drawImage(bitmap, 0, 0);
  const rgba = new Uint8Array(drawing.getImageData(0, 0, bitmap.width, bitmap.height).data.buffer);
  ground = scratch.toDataURL("image/png");
  await call("loadPicture", rgba, bitmap.width, bitmap.height);
}

// "Neues Projekt": the picture is white again.
export function forgetGround() {
  ground = "";
}

// The date as the desktop prints it: "09.12.2026".
const kPrintDate = { day: "2-digit", month: "2-digit", year: "numeric" };

// "Bild drucken …": the picture alone on the page with a line naming the project and the date.
// The picture must be decoded before printing starts, or the page prints without it.
export async function printPicture() {
  document.getElementById("druckzeile").textContent =
    `${app.fileName === kUnnamed ? "Neues Projekt" : app.fileName} – ${new Date().toLocaleDateString("de-DE", kPrintDate)}`;
  const image = document.getElementById("druckbild");
  image.src = canvas.toDataURL("image/png");
  await image.decode().catch(() => {});
  window.print();
}

export { canvas };
