// The page's side of the worker (worker.js): calls by name that answer a promise, and the
// worker's reports (boxes, picture, status) handed to whoever listens.
const worker = new Worker("worker.js");
const waiting = new Map();
const listeners = { ready: [], box: [], picture: [], status: [] };
let nextId = 1;

worker.onmessage = ({ data }) => {
  if (data.id !== undefined) {
    waiting.get(data.id)?.(data.answer);
    waiting.delete(data.id);
    return;
  }
  for (const listener of listeners[data.type] || []) listener(data);
};

// Calls the session's `name` with its arguments (texts, numbers, bytes); the answer is a
// text, or bytes for "save" and "controlsBytes".
export function call(name, ...args) {
  const id = nextId++;
  const transfer = args.filter((a) => a instanceof Uint8Array).map((a) => a.buffer);
  return new Promise((resolve) => {
    waiting.set(id, resolve);
    worker.postMessage({ id, name, args }, transfer);
  });
}

export async function callJson(name, ...args) {
  return JSON.parse(await call(name, ...args));
}

// Sends a call whose answer nobody waits for (the mouse while it moves).
export function send(name, ...args) {
  worker.postMessage({ name, args });
}

export function on(type, listener) {
  listeners[type].push(listener);
}
