// The message boxes as modal dialogs with the desktop's titles, texts and buttons ("OK",
// or "OK" and "Abbrechen"), one after the other; and small form dialogs.
const queue = [];
let showing = false;
const closedListeners = [];

function element(tag, props = {}, ...children) {
  const node = Object.assign(document.createElement(tag), props);
  node.append(...children);
  return node;
}
export { element };

let boxCount = 0;
function makeDialog(title, describedText) {
  const id = `box-${++boxCount}`;
  const dialog = element("dialog", { className: "box" });
  dialog.setAttribute("aria-labelledby", `${id}-title`);
  const heading = element("h2", { id: `${id}-title` }, title);
  dialog.append(heading);
  if (describedText !== undefined) {
    dialog.setAttribute("aria-describedby", `${id}-text`);
    dialog.append(element("p", { id: `${id}-text`, className: "box-text" }, describedText));
  }
  document.body.append(dialog);
  return dialog;
}

// Shows the dialog modally; resolves with the caption of the button that closed it
// (Escape: the last button's).
function run(dialog, buttons) {
  return new Promise((resolve) => {
    const row = element("div", { className: "box-buttons" });
    const opener = document.activeElement;
    let answer = buttons[buttons.length - 1];
    for (const caption of buttons) {
      const button = element("button", { type: "button" }, caption);
      button.addEventListener("click", () => {
        answer = caption;
        dialog.close();
      });
      row.append(button);
    }
    dialog.append(row);
    dialog.addEventListener("close", () => {
      dialog.remove();
      if (opener && opener.isConnected) opener.focus();
      resolve(answer);
    });
    dialog.showModal();
    row.firstChild.focus();
  });
}

async function next() {
  if (showing) return;
  const item = queue.shift();
  if (!item) {
    for (const listener of closedListeners) listener();
    return;
  }
  showing = true;
  const answer = await run(makeDialog(item.title, item.text), item.buttons);
  showing = false;
  item.resolve(answer === "OK");
  next();
}

// A box with "OK"; resolves when it is closed.
export function showBox(title, text) {
  return new Promise((resolve) => {
    queue.push({ title, text, buttons: ["OK"], resolve });
    next();
  });
}

// The confirmation box "Bestätigung": true for "OK".
export function confirmBox(text) {
  return new Promise((resolve) => {
    queue.push({ title: "Bestätigung", text, buttons: ["OK", "Abbrechen"], resolve });
    next();
  });
}

export function boxOpen() {
  return showing || queue.length > 0;
}

// Told whenever the last box in the queue has been closed.
export function onBoxesClosed(listener) {
  closedListeners.push(listener);
}

// A form: labelled fields ({label, value} for a text field, {label, options} for a choice);
// `accept` gets the values and answers an error text (the form stays open, the error
// shown as a box) or nothing. Resolves with the values, or null for "Abbrechen".
export function formDialog(title, fields, accept) {
  const dialog = makeDialog(title);
  const inputs = fields.map((field, index) => {
    const id = `${dialog.getAttribute("aria-labelledby")}-field-${index}`;
    const input = field.options
      ? element("select", { id }, ...field.options.map((o) => element("option", { value: o }, o)))
      : element("input", { id, type: "text", value: field.value ?? "", spellcheck: false });
    dialog.append(element("div", { className: "form-row" }, element("label", { htmlFor: id }, field.label), input));
    return input;
  });
  return new Promise((resolve) => {
    const row = element("div", { className: "box-buttons" });
    const ok = element("button", { type: "button" }, "OK");
    const cancel = element("button", { type: "button" }, "Abbrechen");
    let result = null;
    ok.addEventListener("click", async () => {
      const values = inputs.map((i) => i.value);
      const error = await accept(values);
      if (error) {
        await showBox("Fehler", error);
        inputs[0].focus();
        return;
      }
      result = values;
      dialog.close();
    });
    cancel.addEventListener("click", () => dialog.close());
    dialog.addEventListener("keydown", (event) => {
      if (event.key === "Enter" && event.target.tagName === "INPUT") {
        event.preventDefault();
        ok.click();
      }
    });
    row.append(ok, cancel);
    dialog.append(row);
    const opener = document.activeElement;
    dialog.addEventListener("close", () => {
      dialog.remove();
      if (opener && opener.isConnected) opener.focus();
      resolve(result);
    });
    dialog.showModal();
    inputs[0]?.focus();
  });
}
