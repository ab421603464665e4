// Files on the device: saved into a file the user chooses where the browser can (the File
// System Access API), otherwise as a download; opened by the file picker or dropped.
function download(blob, name) {
  const link = Object.assign(document.createElement("a"), { href: URL.createObjectURL(blob), download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

export const canChooseFiles = () => typeof window.showSaveFilePicker === "function";

// Writes `blob` into `handle`, or asks where (a new handle), or downloads it as `name`.
// Answers the handle written, null after a download, undefined when the user cancelled.
export async function saveFile(blob, name, type, handle = null) {
  if (!canChooseFiles()) {
    download(blob, name);
    return null;
  }
  try {
    const target = handle || (await window.showSaveFilePicker({ suggestedName: name, types: [type] }));
    const writable = await target.createWritable();
    await writable.write(blob);
    await writable.close();
    return target;
  } catch (error) {
    if (error.name === "AbortError") return undefined;
    throw error;
  }
}

// Lets the user choose files (`accept` as the input element takes it); answers File
// objects, with the handle of each where the browser gives one.
export function chooseFiles(accept, multiple) {
  return new Promise((resolve) => {
    const input = Object.assign(document.createElement("input"), { type: "file", accept, multiple });
    input.addEventListener("change", () => resolve([...input.files].map((file) => ({ file, handle: null }))));
    input.addEventListener("cancel", () => resolve([]));
    input.click();
  });
}
