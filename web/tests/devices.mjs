// The page on the devices a class has (build/web in headless Chromium): a finger on the
// picture, a point control dragged, projects saved into files the user chose, pictures
// loaded from PNG, JPEG and BMP files, the printed page, installing the page as an app, and
// the never-ending example stopped: each against the native tool where it draws.
//
//   node web/tests/devices.mjs NATIVE_CLI [ROW NAME]...
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { deflateSync } from "node:zlib";
import {
  closeBoxes, differingPixels, kRoot, launchProfile, menu, nativeRun, openPage, pagePixels, pictureAt, pictureBecomes,
  runEnded, runRows, settle,
} from "./browser.mjs";

const [nativeCli, ...only] = process.argv.slice(2);
const examplePath = (file) => join(kRoot, "examples", file);
const scratch = mkdtempSync(join(tmpdir(), "ombrix-web-devices-"));
const same = (what, expected, actual) => (Buffer.from(expected).equals(Buffer.from(actual)) ? "" : `${what} verschieden`);
const differs = (what, expected, actual) => {
  const count = differingPixels(expected, actual);
  return count === 0 ? "" : `${what}: ${count} Pixel verschieden`;
};

// An example run to its end on the page, its box closed.
async function ranToEnd(page, url, file) {
  await openPage(page, `${url}?projekt=${file}&start`);
  await runEnded(page);
  await closeBoxes(page);
  await settle(page);
}

// A file chosen through the page's file input ("Projekt öffnen", "Bild öffnen").
async function chooseThrough(page, item, files) {
  const chooser = page.waitForEvent("filechooser");
  await menu(page, "Datei", item);
  await (await chooser).setFiles(files);
}

// ------------------------------------------------------------------ pictures of our own

// A test picture: every pixel another colour, narrower than the page's picture.
function testPattern(width, height) {
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      rgb.set([(x * 255) / (width - 1), (y * 255) / (height - 1), (x ^ y) & 255], 3 * (y * width + x));
    }
  }
  return { width, height, rgb };
}

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xffffffff;
  for (const byte of bytes) c = crcTable[(c ^ byte) & 255] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function pngFile({ width, height, rgb }) {
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type, "latin1"), data]);
    const frame = Buffer.alloc(4);
    frame.writeUInt32BE(data.length);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(body));
    return Buffer.concat([frame, body, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([8, 2, 0, 0, 0], 8); // 8 bits, RGB
  const rows = [];
  for (let y = 0; y < height; ++y) rows.push(Buffer.from([0]), rgb.subarray(3 * y * width, 3 * (y + 1) * width));
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk("IHDR", header),
    chunk("IDAT", deflateSync(Buffer.concat(rows))), chunk("IEND", Buffer.alloc(0))]);
}

// 24 bits a pixel, the rows bottom up and padded to four bytes.
function bmpFile({ width, height, rgb }) {
  const stride = Math.ceil((3 * width) / 4) * 4;
  const file = Buffer.alloc(54 + stride * height);
  file.write("BM", 0, "latin1");
  file.writeUInt32LE(file.length, 2);
  file.writeUInt32LE(54, 10);
  file.writeUInt32LE(40, 14);
  file.writeInt32LE(width, 18);
  file.writeInt32LE(height, 22);
  file.writeUInt16LE(1, 26);
  file.writeUInt16LE(24, 28);
  file.writeUInt32LE(stride * height, 34);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const at = 3 * (y * width + x);
      file.set([rgb[at + 2], rgb[at + 1], rgb[at]], 54 + (height - 1 - y) * stride + 3 * x);
    }
  }
  return file;
}

// The browser's own JPEG encoder, an independent tool.
async function jpegFile(page, { width, height, rgb }) {
  return Buffer.from(await page.evaluate(async ([w, h, bytes]) => {
    const canvas = new OffscreenCanvas(w, h);
    const rgba = new Uint8ClampedArray(w * h * 4);
    for (let i = 0; i < w * h; ++i) rgba.set([bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 255], 4 * i);
    canvas.getContext("2d").putImageData(new ImageData(rgba, w, h), 0, 0);
    const blob = await canvas.convertToBlob({ type: "image/jpeg", quality: 0.9 });
    return Array.from(new Uint8Array(await blob.arrayBuffer()));
  }, [width, height, Array.from(rgb)]));
}

// A project that draws the axes over whatever picture is there.
function axesProject() {
  const file = join(scratch, "achsen.omp");
  const text = readFileSync(examplePath("mausmalen.omp"), "latin1")
    .replace("§3§SetzeSkala(-5;5;-5;5)§LöscheBild§ZeichneSkala§", "§2§SetzeSkala(-5;5;-5;5)§ZeichneSkala§");
  writeFileSync(file, text, "latin1");
  return file;
}

// ------------------------------------------------------------------ files chosen by the user

// The file-system API as a browser offers it, recording what the page asks and writes.
function stubFilePickers() {
  window.filePicker = { asked: [], written: [], toOpen: [] };
  const handle = (name, bytes = new Uint8Array()) => ({
    kind: "file",
    name,
    getFile: async () => new File([bytes], name),
    createWritable: async () => {
      const parts = [];
      return {
        write: async (data) => parts.push(new Uint8Array(await new Blob([data]).arrayBuffer())),
        close: async () => {
          const all = await new Blob(parts).arrayBuffer();
          window.filePicker.written.push({ name, bytes: Array.from(new Uint8Array(all)) });
        },
      };
    },
  });
  window.showSaveFilePicker = async ({ suggestedName }) => {
    window.filePicker.asked.push(`speichern ${suggestedName}`);
    return handle(suggestedName);
  };
  window.showOpenFilePicker = async () => {
    window.filePicker.asked.push("öffnen");
    return window.filePicker.toOpen.map(([name, bytes]) => handle(name, new Uint8Array(bytes)));
  };
}

// What the page wrote into chosen files once `count` writes have come, and what it asked.
async function writtenFiles(page, count) {
  await page.waitForFunction((n) => window.filePicker.written.length >= n, count);
  return page.evaluate(() => window.filePicker);
}

function resaved(file) {
  const out = join(scratch, `resave-${file}`);
  execFileSync(nativeCli, ["resave", "--decimal-separator", ",", examplePath(file), out], { stdio: "ignore" });
  return readFileSync(out);
}

// A finger on the screen as the browser's input pipeline delivers it.
async function touchDrag(page, points) {
  const cdp = await page.context().newCDPSession(page);
  const [first, ...rest] = points;
  await cdp.send("Input.dispatchTouchEvent", { type: "touchStart", touchPoints: [first] });
  for (const point of rest) {
    await page.evaluate(() => new Promise(requestAnimationFrame));
    await cdp.send("Input.dispatchTouchEvent", { type: "touchMove", touchPoints: [point] });
  }
  await cdp.send("Input.dispatchTouchEvent", { type: "touchEnd", touchPoints: [] });
  await cdp.detach();
}

const kRows = [
  {
    name: "Finger: Tippen und Ziehen zeichnen wie Mausklicks, die Position als komplexe Zahl",
    context: { hasTouch: true, viewport: { width: 1024, height: 768 } },
    async run(page, url) {
      await ranToEnd(page, url, "mausmalen.omp");
      const taps = [[100, 120], [37, 300]];
      for (const [x, y] of taps) {
        const at = await pictureAt(page, x, y);
        await page.touchscreen.tap(at.x, at.y);
        await settle(page);
      }
      const drag = [[300, 250], [320, 262], [341, 281], [360, 330]];
      await touchDrag(page, await Promise.all(drag.map(([x, y]) => pictureAt(page, x, y))));
      await settle(page);
      const native = await nativeRun(page, nativeCli, examplePath("mausmalen.omp"),
        [...taps, ...drag].flatMap(([x, y]) => ["--click", `${x},${y}`]));
      const shown = await page.locator("#mausposition").textContent();
      return [
        differs("Bild", native.pixels, await pagePixels(page)),
        shown === native.position ? "" : `Position ${shown} statt ${native.position}`,
      ];
    },
  },
  // A point control dragged by the mouse on its handle, and by a finger that lands beside it.
  ...[
    { by: "der Maus auf dem Griff", beside: 0 },
    { by: "dem Finger 15 px neben dem Griff", beside: 15, context: { hasTouch: true } },
  ].map(({ by, beside, context }) => ({
    name: `Punkt ziehen mit ${by}: c wandert um die gezogenen Pixel im Maßstab, das Bild folgt live`,
    context,
    async run(page, url) {
      await ranToEnd(page, url, "julia-regler.omp");
      const box = await page.locator("#griffe .handle").boundingBox();
      const [dx, dy] = [40, -20]; // screen pixels, one a picture pixel here
      const from = { x: box.x + box.width / 2 + beside, y: box.y + box.height / 2 };
      const path = [1, 2, 3, 4].map((k) => ({ x: from.x + (dx * k) / 4, y: from.y + (dy * k) / 4 }));
      if (context?.hasTouch) {
        await touchDrag(page, [from, ...path]);
      } else {
        await page.mouse.move(from.x, from.y);
        await page.mouse.down();
        for (const { x, y } of path) await page.mouse.move(x, y);
        await page.mouse.up();
      }
      await settle(page);
      await page.getByRole("tab", { name: "Regler" }).click();
      const value = await page.locator(".control-value").first().textContent();
      // The scale is -1.6 to 1.6 on 400 pixels: 0.008 a pixel.
      const expected = [-0.8 + dx * 0.008, 0.156 - dy * 0.008];
      const shown = value.replaceAll(",", ".").match(/^(-?[\d.E-]+)([+-][\d.E-]+)\*i$/);
      const near = shown && Math.abs(Number(shown[1]) - expected[0]) < 1e-12 && Math.abs(Number(shown[2]) - expected[1]) < 1e-12;
      const native = await nativeRun(page, nativeCli, examplePath("julia-regler.omp"), ["--set", `c=${value}`]);
      const live = await pictureBecomes(page, native.pixels);
      return [
        near ? "" : `c = ${value}, erwartet ${expected.join(" ")}`,
        live === 0 ? "" : `das Bild zu c = ${value}: ${live} Pixel verschieden`,
      ];
    },
  })),
  {
    name: "In gewählte Dateien speichern: wie der Desktop, Speichern fragt nicht noch einmal",
    async run(page, url) {
      await page.context().addInitScript(stubFilePickers);
      await openPage(page, url);
      const file = "einheitswurzeln-regler.omp";
      const side = `${file}.regler`;
      await page.evaluate((files) => (window.filePicker.toOpen = files),
        [file, side].map((name) => [name, [...readFileSync(examplePath(name))]]));
      await menu(page, "Datei", "Projekt öffnen");
      await page.waitForFunction((name) => document.getElementById("status-datei").textContent === name, file);
      await page.keyboard.press("Control+s");
      const saved = await writtenFiles(page, 2);
      const saveAs = menu(page, "Datei", "Projekt speichern unter");
      await page.locator("dialog[open]").waitFor(); // where the controls go
      await closeBoxes(page);
      await saveAs;
      await writtenFiles(page, 4);
      await page.keyboard.press("Control+s");
      const all = await writtenFiles(page, 6);
      const names = all.written.map((w) => w.name).join(" ");
      return [
        same("Projekt", resaved(file), saved.written[0].bytes),
        same("Regler", readFileSync(examplePath(side)), saved.written[1].bytes),
        same("Projekt nach Speichern unter", saved.written[0].bytes, all.written[4].bytes),
        same("Regler nach Speichern unter", saved.written[1].bytes, all.written[5].bytes),
        names === `${file} ${side} ${file} ${side} ${file} ${side}` ? "" : `geschrieben: ${names}`,
        all.asked.join(", ") === `öffnen, speichern ${file}, speichern ${side}` ? "" : `gefragt: ${all.asked.join(", ")}`,
      ];
    },
  },
  {
    name: "Bild öffnen: PNG, JPEG und BMP als Bild, darüber gezeichnet wie ombrix-cli --picture",
    async run(page, url) {
      await openPage(page, url);
      // Each of its own width, so that the page is seen to have taken it.
      const pictures = [
        ["muster.png", testPattern(320, 240), pngFile],
        ["muster.bmp", testPattern(301, 240), bmpFile],
        ["muster.jpg", testPattern(280, 260), (pattern) => jpegFile(page, pattern)],
      ];
      const project = axesProject();
      await chooseThrough(page, "Projekt öffnen", [project]);
      await page.waitForFunction(() => document.getElementById("status-datei").textContent === "achsen.omp");
      const faults = [];
      for (const [name, pattern, encode] of pictures) {
        const path = join(scratch, name);
        writeFileSync(path, await encode(pattern));
        await chooseThrough(page, "Bild öffnen", [path]);
        await page.waitForFunction((width) => document.getElementById("bild").width === width, pattern.width);
        await page.keyboard.press("F1");
        await runEnded(page);
        await closeBoxes(page);
        await settle(page);
        const native = await nativeRun(page, nativeCli, project, ["--picture", path]);
        faults.push(differs(name, native.pixels, await pagePixels(page)));
      }
      return faults;
    },
  },
  {
    name: "Bild drucken: das Bild allein, mittig, höchstens 16 cm, darunter Projekt und Datum",
    async run(page, url) {
      // What the page would print at the moment it asks: the picture must be there by then.
      await page.context().addInitScript(() => (window.print = () => {
        const image = document.getElementById("druckbild");
        window.printed = `${image.complete}:${image.naturalWidth}x${image.naturalHeight}`;
      }));
      await ranToEnd(page, url, "spirale.omp");
      await page.keyboard.press("Control+p");
      await page.waitForFunction(() => window.printed !== undefined);
      const printedAt = await page.evaluate(() => window.printed);
      await page.emulateMedia({ media: "print" });
      const shown = await page.evaluate(() => {
        const visible = (e) => e.getClientRects().length > 0 && getComputedStyle(e).visibility !== "hidden";
        const image = document.getElementById("druckbild");
        const line = document.getElementById("druckzeile");
        const picture = image.getBoundingClientRect();
        const caption = line.getBoundingClientRect();
        const others = [...document.body.querySelectorAll("body > *:not(.print-only):not(script)")].filter(visible);
        return {
          others: others.map((e) => e.tagName.toLowerCase()),
          centred: Math.abs(picture.left + picture.width / 2 - document.documentElement.clientWidth / 2) <= 1,
          width: picture.width,
          below: caption.top >= picture.bottom,
          align: getComputedStyle(line).textAlign,
          caption: line.textContent,
          natural: [image.naturalWidth, image.naturalHeight],
        };
      });
      const date = new Date().toLocaleDateString("de-DE", { day: "2-digit", month: "2-digit", year: "numeric" });
      const pdf = (await page.pdf({ format: "A4" })).toString("latin1");
      const pages = (pdf.match(/\/Type\s*\/Page[^s]/g) || []).length;
      const printed = Buffer.from(await page.evaluate(() => {
        const image = document.getElementById("druckbild");
        const canvas = new OffscreenCanvas(image.naturalWidth, image.naturalHeight);
        canvas.getContext("2d").drawImage(image, 0, 0);
        return Array.from(canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data);
      }));
      await page.emulateMedia({ media: "screen" });
      return [
        printedAt === "true:400x400" ? "" : `beim Drucken war das Bild ${printedAt}`,
        shown.others.length === 0 ? "" : `auch gedruckt: ${shown.others.join(" ")}`,
        shown.centred ? "" : "das Bild steht nicht in der Mitte",
        shown.width > 0 && shown.width <= (16 / 2.54) * 96 + 0.5 ? "" : `das Bild ist ${shown.width} px breit`,
        shown.below && shown.align === "center" ? "" : "die Zeile steht nicht mittig unter dem Bild",
        shown.caption === `Neues Projekt – ${date}` ? "" : `Zeile: ${shown.caption}`,
        pages === 1 ? "" : `${pages} Seiten`,
        differs("gedrucktes Bild", await pagePixels(page), printed),
      ];
    },
  },
  {
    name: "Installieren: Chromium findet die Seite installierbar, die Symbole laden",
    async run(_, url) {
      const profile = await launchProfile(join(scratch, "profil"));
      const page = profile.pages()[0] || (await profile.newPage());
      await openPage(page, url);
      await page.evaluate(() => navigator.serviceWorker.ready);
      const cdp = await profile.newCDPSession(page);
      const { installabilityErrors } = await cdp.send("Page.getInstallabilityErrors");
      const { errors } = await cdp.send("Page.getAppManifest");
      await cdp.detach();
      const icons = await page.evaluate(async () => {
        const manifest = await (await fetch("manifest.webmanifest")).json();
        return Promise.all(manifest.icons.map(async ({ src, sizes }) => {
          const image = new Image();
          image.src = src;
          try {
            await image.decode();
          } catch {
            return `${src} lädt nicht`;
          }
          const size = `${image.naturalWidth}x${image.naturalHeight}`;
          return sizes === "any" || sizes === size ? "" : `${src} ist ${size} statt ${sizes}`;
        }));
      });
      await profile.close();
      return [
        ...installabilityErrors.map((e) => `nicht installierbar: ${e.errorId}`),
        ...errors.map((e) => `Manifest: ${e.message}`),
        ...icons,
      ];
    },
  },
  // Touch screens of a class: the whole picture in view without scrolling sideways, and no
  // control a finger cannot hit (WCAG's 24 px; handles are taken from 22 px around them).
  ...[
    ["Tablet quer", { width: 1024, height: 768 }],
    ["Tablet hoch", { width: 768, height: 1024 }],
    ["Telefon", { width: 390, height: 844 }],
  ].map(([device, viewport]) => ({
    name: `${device}: das Bild ganz zu sehen, jedes Bedienelement groß genug für den Finger`,
    context: { viewport, hasTouch: true, isMobile: viewport.width < 600 },
    async run(page, url) {
      await ranToEnd(page, url, "quadratgitter-regler.omp");
      await page.getByRole("tab", { name: "Regler" }).click();
      return page.evaluate(() => {
        const faults = [];
        const picture = document.getElementById("bild").getBoundingClientRect();
        if (picture.left < 0 || picture.right > innerWidth || document.documentElement.scrollWidth > innerWidth) {
          faults.push("das Bild oder die Seite ragt seitlich hinaus");
        }
        const targets = "button:not(.handle), input, [role=tab], [role=menuitem], summary, a, select";
        for (const target of document.querySelectorAll(targets)) {
          const box = (target.closest("label") || target).getBoundingClientRect();
          if (box.width === 0 || getComputedStyle(target).visibility === "hidden") continue;
          if (box.width < 24 || box.height < 24) {
            faults.push(`${target.id || target.getAttribute("aria-label") || target.textContent.trim()}: ` +
              `${Math.round(box.width)}×${Math.round(box.height)}`);
          }
        }
        return faults;
      });
    },
  })),
  {
    name: "Mausblume: zwanzig Einzelschritte, Abbrechen, ein Klick: wie ombrix-cli --max-steps",
    async run(page, url) {
      await openPage(page, `${url}?projekt=mausblume.omp`);
      const steps = 20;
      let state = "";
      for (let k = 0; k < steps; ++k) {
        await page.keyboard.press("F8");
        await page.waitForFunction((old) => document.getElementById("ablauf-zustand").textContent !== old, state);
        state = await page.locator("#ablauf-zustand").textContent();
      }
      await page.keyboard.press("F2");
      await page.waitForFunction(() => !document.getElementById("hauptprogramm-aktiv").checked);
      const at = await pictureAt(page, 250, 150);
      await page.mouse.click(at.x, at.y);
      await settle(page);
      const native = await nativeRun(page, nativeCli, examplePath("mausblume.omp"),
        ["--max-steps", String(steps), "--click", "250,150"]);
      return [
        native.status === 4 ? "" : `ombrix-cli endete mit ${native.status}`,
        differs("Bild", native.pixels, await pagePixels(page)),
      ];
    },
  },
];

try {
  process.exitCode = (await runRows(kRows, only, { viewport: { width: 1280, height: 800 } })) === 0 ? 0 : 1;
} finally {
  rmSync(scratch, { recursive: true, force: true });
}
