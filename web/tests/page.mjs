// The page as a user meets it (build/web in headless Chromium): a project opened and saved
// again byte for byte, one with the other decimal separator dropped onto the page, a shared link that brings the project back, single steps and a step
// back, a dragged slider that redraws, a reload without a network, a path with the keyboard
// alone, and an accessibility scan (axe-core) in light and dark mode. With --bilder DIR
// the scan also leaves a screenshot of each view there.
//
//   node web/tests/page.mjs NATIVE_CLI [--bilder DIR] [ROW NAME]...
import { execFileSync } from "node:child_process";
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import {
  closeBoxes, differingPixels, downloads, germanPage, kRoot, menu, nativePixels, openPage, pagePixels,
  pictureBecomes, runEnded, runRows, seriousViolations, servePage, settle,
} from "./browser.mjs";

const [nativeCli, ...rest] = process.argv.slice(2);
const shotsAt = rest.indexOf("--bilder");
const shots = shotsAt >= 0 ? rest.splice(shotsAt, 2)[1] : "";
const only = rest;
const example = (file) => readFileSync(join(kRoot, "examples", file));
const scratch = mkdtempSync(join(tmpdir(), "ombrix-web-page-"));

const nativePicture = (page, file, sets) => nativePixels(page, nativeCli, file, sets);

const saveAs = (page, count) => downloads(page, count, () => menu(page, "Datei", "Projekt speichern unter"));
// An example as the desktop saves it under ",".
function resaved(file) {
  const out = join(scratch, `resave-${file}`);
  execFileSync(nativeCli, ["resave", "--decimal-separator", ",", join(kRoot, "examples", file), out], { stdio: "ignore" });
  return readFileSync(out);
}
const same = (what, expected, actual) => (expected.equals(actual) ? "" : `${what} verschieden`);

// The run window's view after a step: the state, the variables and the picture.
async function stepView(page, before) {
  await settle(page);
  await page.waitForFunction((old) => document.getElementById("ablauf-zustand").textContent !== old, before);
  await settle(page);
  return {
    // The state without why it paused ("Einzelschritt", "Schritt zurück").
    text: `${(await page.locator("#ablauf-zustand").textContent()).replace(/ \(.*\)$/, "")} | ${await page.locator("#ablauf-variablen").innerText()}`,
    pixels: await pagePixels(page),
  };
}

const kRows = [
  {
    name: "Projekt öffnen und speichern unter: wie ombrix-cli resave, dann Byte für Byte gleich",
    async run(page, url) {
      await openPage(page, url);
      const file = "einheitswurzeln-regler.omp";
      const openAndSave = async (dir) => {
        const chooser = page.waitForEvent("filechooser");
        await menu(page, "Datei", "Projekt öffnen");
        await (await chooser).setFiles([join(dir, file), join(dir, `${file}.regler`)]);
        await page.getByRole("tab", { name: "Regler" }).and(page.locator("[aria-selected=true]")).waitFor();
        await settle(page);
        return saveAs(page, 2);
      };
      const first = await openAndSave(join(kRoot, "examples"));
      const dir = join(scratch, "gespeichert");
      mkdirSync(dir);
      for (const [name, bytes] of Object.entries(first)) writeFileSync(join(dir, name), bytes);
      await page.getByRole("tab", { name: "Hauptprogramm" }).click();
      const second = await openAndSave(dir);
      return [
        same("Projekt und resave", resaved(file), first[file]),
        same("Regler", example(`${file}.regler`), first[`${file}.regler`]),
        same("Projekt beim zweiten Mal", first[file], second[file]),
        same("Regler beim zweiten Mal", first[`${file}.regler`], second[`${file}.regler`]),
      ];
    },
  },
  {
    name: "Projekt mit Dezimalpunkt auf die Seite gezogen: umgewandelt, geändert, wie ombrix-cli resave",
    async run(page, url) {
      await openPage(page, url);
      const file = "funktionsplot.omp";
      const pointed = join(scratch, file);
      execFileSync(nativeCli, ["resave", "--decimal-separator", ",", "--output-decimal-separator", ".",
        join(kRoot, "examples", file), pointed], { stdio: "ignore" });
      // A drop as the browser delivers it: the file in a DataTransfer.
      await page.evaluate(([name, bytes]) => {
        const files = new DataTransfer();
        files.items.add(new File([new Uint8Array(bytes)], name));
        document.body.dispatchEvent(new DragEvent("drop", { dataTransfer: files, bubbles: true, cancelable: true }));
      }, [file, [...readFileSync(pointed)]]);
      await page.waitForFunction((name) => document.getElementById("status-datei").textContent === name, file);
      const changed = await page.locator("#status-geaendert").textContent();
      const saved = await saveAs(page, 1);
      return [changed ? "" : "nicht als geändert gezeigt", same("Projekt", resaved(file), saved[file])];
    },
  },
  {
    name: "Link kopieren: der Link öffnet dasselbe Projekt mit seinen Reglern",
    async run(page, url) {
      await page.context().grantPermissions(["clipboard-read", "clipboard-write"]);
      await openPage(page, `${url}?projekt=julia-regler.omp`);
      await menu(page, "Datei", "Link kopieren");
      await closeBoxes(page);
      const link = await page.evaluate(() => navigator.clipboard.readText());
      if (!/#projekt=[\w-]+&regler=[\w-]+$/.test(link)) return [`kein Link: ${link.slice(0, 80)}`];
      const other = await germanPage(page.context().browser());
      await openPage(other, link);
      const saved = await saveAs(other, 2);
      const names = Object.keys(saved).sort();
      const kept = await other.evaluate(() => location.hash);
      await other.context().close();
      return [
        same("Projekt", resaved("julia-regler.omp"), saved[names[0]]),
        same("Regler", example("julia-regler.omp.regler"), saved[names[1]]),
        kept === "" ? "" : "die Adresse behält das Projekt",
      ];
    },
  },
  {
    name: "Einzelschritt, Schritt zurück: derselbe Stand wie vor dem Schritt",
    async run(page, url) {
      await openPage(page, `${url}?projekt=spirale.omp`);
      // Lines 1 to 6: the scale, the axes drawn (before line 4), q and z assigned (before 5, 6).
      const views = [];
      let before = "";
      for (let n = 0; n < 6; ++n) {
        await page.keyboard.press("F8");
        views.push(await stepView(page, before));
        before = views[n].text;
      }
      await page.keyboard.press("Shift+F8");
      const back = await stepView(page, before);
      return [
        views[4].text.includes("vor Zeile 5") ? "" : `nach fünf Schritten: ${views[4].text}`,
        back.text === views[4].text ? "" : `zurück: ${back.text} statt ${views[4].text}`,
        differingPixels(views[4].pixels, back.pixels) === 0 ? "" : "das Bild nach dem Schritt zurück ist ein anderes",
        differingPixels(views[2].pixels, views[3].pixels) > 0 ? "" : "der Schritt über ZeichneSkala zeichnete nichts",
      ];
    },
  },
  {
    name: "Schieberegler ziehen: das Bild des neuen Werts, live",
    async run(page, url) {
      await openPage(page, `${url}?projekt=quadratgitter-regler.omp&start`);
      await runEnded(page);
      await closeBoxes(page);
      const start = await pictureBecomes(page, await nativePicture(page, "quadratgitter-regler.omp"));
      const slider = page.getByRole("slider", { name: "Schieberegler m" });
      const box = await slider.boundingBox();
      await page.mouse.move(box.x + 4, box.y + box.height / 2);
      await page.mouse.down();
      for (let k = 1; k <= 8; ++k) await page.mouse.move(box.x + (box.width * k) / 8, box.y + box.height / 2);
      await page.mouse.up();
      const dragged = await pictureBecomes(page, await nativePicture(page, "quadratgitter-regler.omp", ["m=4"]));
      return [
        start === 0 ? "" : `vor dem Ziehen ${start} Pixel verschieden`,
        dragged === 0 ? "" : `nach dem Ziehen ${dragged} Pixel anders als mit m=4`,
        (await slider.getAttribute("aria-valuetext")) === "4" ? "" : "der Regler zeigt nicht 4",
      ];
    },
  },
  {
    name: "Ohne Netz neu laden: die Seite und ein Beispiel laufen",
    async run(page) {
      const server = await servePage(); // its own, to be closed
      await openPage(page, server.url);
      await page.evaluate(() => navigator.serviceWorker.ready);
      await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
      server.close();
      await page.context().setOffline(true);
      await page.goto(`${server.url}?projekt=spirale.omp&start`);
      const run = await runEnded(page).then(() => page.evaluate(() => window.ombrixRun));
      return [run.boxes.some((b) => b.includes("erfolgreich beendet")) ? "" : `ohne Netz: ${run.boxes.join("; ")}`];
    },
  },
  {
    name: "Nur die Tastatur: Beispiel aus dem Menü, Starten, Meldung schließen, Variablen",
    async run(page, url) {
      await openPage(page, url);
      const { title } = JSON.parse(example("index.json")).find((e) => e.file === "spirale.omp");
      await page.keyboard.press("Tab");
      for (let k = 0; k < 3; ++k) await page.keyboard.press("ArrowRight");
      await page.keyboard.press("ArrowDown");
      for (let k = 0; k < 40 && (await page.evaluate(() => document.activeElement.textContent)) !== title; ++k) {
        await page.keyboard.press("ArrowDown");
      }
      await page.keyboard.press("Enter");
      await page.waitForFunction(() => document.title.startsWith("{ohne Namen}") && document.querySelector(".cm-content")?.textContent.includes("Wiederhole"));
      await page.keyboard.press("F1");
      await runEnded(page);
      const boxFocused = await page.evaluate(() => document.activeElement.closest("dialog[open]") !== null);
      await page.keyboard.press("Enter");
      await page.waitForFunction(() => !document.querySelector("dialog[open]"));
      const tab = page.getByRole("tab", { name: "Hauptprogramm" });
      await tab.focus();
      for (let k = 0; k < 3; ++k) await page.keyboard.press("ArrowRight");
      const variables = await page.locator("#panel-variablen").isVisible();
      const pixels = await nativePicture(page, "spirale.omp");
      return [
        boxFocused ? "" : "die Meldung hat den Fokus nicht",
        variables ? "" : "die Pfeiltasten führen nicht zu den Variablen",
        differingPixels(pixels, await pagePixels(page)) === 0 ? "" : "das Bild ist ein anderes",
      ];
    },
  },
  {
    name: "Barrierefreiheit: keine ernsten Verstöße, hell und dunkel, in jeder Ansicht",
    async run(page, url) {
      const found = [];
      for (const scheme of ["light", "dark"]) {
        await page.emulateMedia({ colorScheme: scheme });
        await openPage(page, `${url}?projekt=julia-regler.omp`);
        await page.keyboard.press("F8");
        await settle(page);
        for (const view of ["Hauptprogramm", "Funktionen", "Variablen", "Regler", "Ablauf", "Sprachübersicht", "Menü"]) {
          if (view === "Menü") await page.getByRole("button", { name: "Hilfe", exact: true }).click();
          else await page.getByRole("tab", { name: view, exact: true }).click();
          await settle(page);
          const violations = await seriousViolations(page);
          found.push(...violations.map((v) => `${scheme}, ${view}: ${v}`));
          if (shots) {
            mkdirSync(shots, { recursive: true });
            await page.screenshot({ path: join(shots, `${scheme}-${view}.png`) });
          }
        }
      }
      return found;
    },
  },
];

try {
  await runRows(kRows, only);
} finally {
  rmSync(scratch, { recursive: true, force: true });
}
