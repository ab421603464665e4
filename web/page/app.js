// The page: the picture, the examples, "Starten" and "Abbrechen"; the engine runs in a
// Web Worker (worker.js), so the page never waits for it.
"use strict";

const canvas = document.getElementById("bild");
const context = canvas.getContext("2d");
const examples = document.getElementById("beispiel");
const startButton = document.getElementById("starten");
const stopButton = document.getElementById("abbrechen");
const status = document.getElementById("status");
const worker = new Worker("worker.js");

// The decimal separator of the browser's language, as the desktop takes the system's.
const separator = new Intl.NumberFormat(navigator.language).format(1.5).charAt(1) === "," ? "," : ".";

// What the last run did: its time from "Starten" to its end (for the measurements).
window.ombrixRun = { done: false };
let startedAt = 0;

function setRunning(running) {
  startButton.disabled = running;
  stopButton.disabled = !running;
  examples.disabled = running;
}

async function openExample(file) {
  const response = await fetch(`examples/${file}`);
  const bytes = new Uint8Array(await response.arrayBuffer());
  worker.postMessage({ type: "open", bytes }, [bytes.buffer]);
}

function start() {
  if (startButton.disabled) return;
  window.ombrixRun = { done: false };
  startedAt = performance.now();
  setRunning(true);
  status.textContent = "Hauptprogramm aktiv";
  worker.postMessage({ type: "start" });
}

function stop() {
  worker.postMessage({ type: "stop" });
}

function showBox(title, text) {
  const dialog = document.getElementById("meldung");
  document.getElementById("meldung-titel").textContent = title;
  document.getElementById("meldung-text").textContent = text;
  if (!dialog.open) dialog.showModal();
}

worker.onmessage = ({ data }) => {
  switch (data.type) {
    case "picture":
      context.putImageData(new ImageData(new Uint8ClampedArray(data.rgba.buffer), data.width, data.height), 0, 0);
      break;
    case "box":
      window.ombrixRun.boxes = [...(window.ombrixRun.boxes || []), `${data.title}: ${data.text}`];
      showBox(data.title, data.text);
      break;
    case "opened":
      status.textContent = data.error || "";
      if (data.error) showBox("Fehler", data.error);
      if (data.error === "" && new URLSearchParams(location.search).has("start")) start();
      break;
    case "ended":
      window.ombrixRun.ms = performance.now() - startedAt;
      window.ombrixRun.state = data.state;
      window.ombrixRun.done = true;
      setRunning(false);
      status.textContent = "";
      break;
    default:
      break;
  }
};

startButton.addEventListener("click", start);
stopButton.addEventListener("click", stop);
document.addEventListener("keydown", (event) => {
  if (event.key === "F1") {
    event.preventDefault();
    start();
  } else if (event.key === "F2") {
    event.preventDefault();
    stop();
  }
});
examples.addEventListener("change", () => openExample(examples.value));

// The mouse or a finger over the picture, in picture pixels.
function pixelOf(event) {
  const box = canvas.getBoundingClientRect();
  return {
    x: Math.floor((event.clientX - box.left) * canvas.width / box.width),
    y: Math.floor((event.clientY - box.top) * canvas.height / box.height),
  };
}
canvas.addEventListener("pointerdown", (event) => {
  canvas.setPointerCapture(event.pointerId);
  worker.postMessage({ type: "press", ...pixelOf(event) });
});
canvas.addEventListener("pointermove", (event) => {
  worker.postMessage({ type: "move", ...pixelOf(event) });
});
canvas.addEventListener("pointerup", () => worker.postMessage({ type: "release" }));

(async () => {
  worker.postMessage({ type: "init", separator });
  const list = await (await fetch("examples/index.json")).json();
  for (const { file, title } of list) examples.add(new Option(title, file));
  const wanted = new URLSearchParams(location.search).get("projekt");
  if (wanted) examples.value = wanted;
  await openExample(examples.value);
})();
