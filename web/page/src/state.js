// What the page's modules share: the page's own state of the project and the run, and
// events between the modules.
import { kUnnamed } from "./texts.js";

export const app = {
  fileName: kUnnamed, // shown in the status bar
  copyOf: "", // an example or a link opened as an unnamed copy
  changed: false,
  running: false,
  paused: false,
  pausedAt: 0,
  mouseEnabled: false,
  doc: { functions: [], variables: [], controls: [], live: false },
  runWindowOpen: false,
};

const listeners = new Map();

export function on(event, listener) {
  if (!listeners.has(event)) listeners.set(event, []);
  listeners.get(event).push(listener);
}

export function emit(event, data) {
  for (const listener of listeners.get(event) || []) listener(data);
}

// The project has changes not yet saved ("geändert").
export function markChanged() {
  if (app.changed) return;
  app.changed = true;
  emit("changed");
}
