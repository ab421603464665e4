// The engine of the page in its Web Worker: the WebAssembly session (web_session.h),
// the main program stepped in slices with the worker's messages handled in between, so
// that "Abbrechen" and the mouse come through within a slice.
"use strict";

importScripts("ombrix-engine.js");

const kSliceMs = 25;
// The picture goes to the page at most this often while a run lasts, and at its end.
const kPictureMs = 100;
let pictureShownAt = 0;
let engine = null;
let session = 0;
let running = false;
let shownChanges = -1;
const pending = [];

// A turn of the worker's event loop without a timer's delay.
const turns = new MessageChannel();
turns.port1.onmessage = step;

function flush(final) {
  const changes = engine._ombrix_session_picture_changes(session);
  const now = performance.now();
  if (changes !== shownChanges && (final || now - pictureShownAt >= kPictureMs)) {
    shownChanges = changes;
    pictureShownAt = now;
    const pointer = engine._ombrix_session_rgba(session);
    const rgba = engine.HEAPU8.slice(pointer, pointer + 400 * 400 * 4);
    postMessage({ type: "picture", rgba, width: 400, height: 400 }, [rgba.buffer]);
  }
  const boxes = engine.UTF8ToString(engine._ombrix_session_boxes(session));
  for (const line of boxes.split("\n")) {
    if (!line) continue;
    const [kind, title, text] = line.split("\t");
    postMessage({ type: "box", kind, title, text: text.replaceAll("\\n", "\n") });
  }
}

function step() {
  if (!running) return;
  const state = engine._ombrix_session_slice(session, kSliceMs);
  flush(state !== 1);
  if (state === 1) {
    turns.port2.postMessage(0);
  } else {
    running = false;
    postMessage({ type: "ended", state });
  }
}

function handle(message) {
  switch (message.type) {
    case "init":
      engine._ombrix_set_decimal_separator(message.separator.charCodeAt(0));
      break;
    case "open": {
      const pointer = engine._malloc(message.bytes.length);
      engine.HEAPU8.set(message.bytes, pointer);
      const error = engine.UTF8ToString(engine._ombrix_session_open(session, pointer, message.bytes.length));
      engine._free(pointer);
      postMessage({ type: "opened", error });
      break;
    }
    case "start":
      engine._ombrix_session_start(session);
      if (!running) {
        running = true;
        step();
      }
      break;
    case "stop":
      engine._ombrix_session_stop(session);
      break;
    case "press":
      engine._ombrix_session_press(session, message.x, message.y);
      break;
    case "move":
      engine._ombrix_session_move(session, message.x, message.y);
      break;
    case "release":
      engine._ombrix_session_release(session);
      break;
    default:
      break;
  }
  if (!running) flush(true);
}

onmessage = ({ data }) => {
  if (engine) handle(data);
  else pending.push(data);
};

OmbrixEngine().then((module) => {
  engine = module;
  session = engine._ombrix_session_new();
  for (const message of pending.splice(0)) handle(message);
});
