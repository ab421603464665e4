// The engine of the page in its Web Worker: the WebAssembly session (web/web_session.h).
// The page sends calls {id, name, args} and gets {id, answer}; the main program runs in
// slices of 25 ms with the page's messages handled in between, so that "Abbrechen" and
// the mouse come through within a slice. After every call and slice the worker sends what
// changed: the boxes shown, the picture (at most every 100 ms while a run lasts) and the
// run's status.
"use strict";

importScripts("ombrix-engine.js");

const kSliceMs = 25;
const kPictureMs = 100;
// Calls whose answer is bytes, not text.
const kByteAnswers = new Set(["save", "controlsBytes"]);
// The warm-up: lines of an example run once after loading, so that the first "Starten"
// finds the engine's code already optimised; it gives way to the page's first message.
const kWarmUpExample = "examples/julia.omp";
const kWarmUpMs = 600;

let engine = null;
let session = 0;
let stepping = false; // a slice is scheduled
let pictureShownAt = 0;
let shownChanges = -1;
let shownStatus = "";
let warmUp = null; // the warm-up's own session while it lasts
let boxWaiting = false; // a box is open on the page: the run waits, as behind a modal box
const pending = [];
const encoder = new TextEncoder();
const decoder = new TextDecoder();

// A turn of the worker's event loop without a timer's delay.
const turns = new MessageChannel();
turns.port1.onmessage = step;

// The arguments as the engine reads them: each a 32-bit length and its bytes.
function packArgs(args) {
  const parts = args.map((a) => (a instanceof Uint8Array ? a : encoder.encode(String(a))));
  const size = parts.reduce((n, p) => n + 4 + p.length, 0);
  const bytes = new Uint8Array(size);
  const view = new DataView(bytes.buffer);
  let at = 0;
  for (const part of parts) {
    view.setUint32(at, part.length, true);
    bytes.set(part, at + 4);
    at += 4 + part.length;
  }
  return bytes;
}

function call(handle, name, args = []) {
  const packed = packArgs(args);
  const argPointer = engine._malloc(packed.length || 1);
  engine.HEAPU8.set(packed, argPointer);
  const namePointer = engine._malloc(name.length + 1);
  engine.HEAPU8.set(encoder.encode(name + "\0"), namePointer);
  const pointer = engine._ombrix_call(handle, namePointer, argPointer, packed.length);
  const answer = engine.HEAPU8.slice(pointer, pointer + engine._ombrix_answer_size(handle));
  engine._free(argPointer);
  engine._free(namePointer);
  return answer;
}

function sendPicture(final) {
  const changes = engine._ombrix_session_picture_changes(session);
  const now = performance.now();
  if (changes === shownChanges || (!final && now - pictureShownAt < kPictureMs)) return;
  shownChanges = changes;
  pictureShownAt = now;
  const width = engine._ombrix_session_width(session);
  const height = engine._ombrix_session_height(session);
  const pointer = engine._ombrix_session_rgba(session);
  const rgba = engine.HEAPU8.slice(pointer, pointer + width * height * 4);
  postMessage({ type: "picture", rgba, width, height }, [rgba.buffer]);
}

// What changed: boxes, picture and status; and the next slice while the program runs.
function report(final) {
  sendPicture(final);
  const boxes = engine.UTF8ToString(engine._ombrix_session_boxes(session));
  for (const line of boxes.split("\n")) {
    if (!line) continue;
    const [kind, title, text] = line.split("\t");
    postMessage({ type: "box", kind: Number(kind), title, text: text.replaceAll("\\n", "\n") });
    boxWaiting = true;
  }
  const text = decoder.decode(call(session, "status"));
  const status = JSON.parse(text);
  if (text !== shownStatus) {
    shownStatus = text;
    postMessage({ type: "status", status });
  }
  if (status.running && !status.paused && !stepping && !boxWaiting) {
    stepping = true;
    if (status.waitMs > 0) setTimeout(() => turns.port2.postMessage(0), Math.min(status.waitMs, 1000));
    else turns.port2.postMessage(0);
  }
}

function step() {
  stepping = false;
  const state = engine._ombrix_session_slice(session, kSliceMs);
  report(state !== 1);
}

// A call of the session, or of the worker itself: "separator" sets the decimal separator,
// "report" says the page's boxes are closed, "sync" only answers (after everything before).
function handle({ id, name, args }) {
  let answer = "";
  if (name === "report") {
    boxWaiting = false;
  } else if (name === "separator") {
    engine._ombrix_set_decimal_separator(String(args[0]).charCodeAt(0));
  } else if (name !== "sync") {
    const bytes = call(session, name, args);
    answer = kByteAnswers.has(name) ? bytes : decoder.decode(bytes);
  }
  if (id !== undefined) postMessage({ id, answer });
  report(true);
}

// Calls that run the user's programs: the warm-up gives way to them at once.
const kRunCalls = new Set(["start", "singleStep", "press", "move"]);

let userRan = false;

onmessage = ({ data }) => {
  if (kRunCalls.has(data.name)) {
    userRan = true;
    endWarmUp();
  }
  if (engine) handle(data);
  else pending.push(data);
};

// Runs an example in a session of its own for a while and deletes it again.
async function startWarmUp() {
  try {
    const bytes = new Uint8Array(await (await fetch(kWarmUpExample)).arrayBuffer());
    if (userRan) return;
    warmUp = { handle: engine._ombrix_session_new(), until: performance.now() + kWarmUpMs };
    call(warmUp.handle, "open", [bytes, "warm-up"]);
    call(warmUp.handle, "start", [0]);
    const slice = () => {
      if (!warmUp) return;
      if (performance.now() > warmUp.until || engine._ombrix_session_slice(warmUp.handle, kSliceMs) !== 1) {
        endWarmUp();
      } else {
        setTimeout(slice, 0);
      }
    };
    slice();
  } catch {
    endWarmUp();
  }
}

function endWarmUp() {
  if (!warmUp) return;
  engine._ombrix_session_delete(warmUp.handle);
  warmUp = null;
}

OmbrixEngine().then((module) => {
  engine = module;
  session = engine._ombrix_session_new();
  postMessage({ type: "ready", vocabulary: JSON.parse(decoder.decode(call(session, "vocabulary"))) });
  for (const message of pending.splice(0)) handle(message);
  startWarmUp();
});
