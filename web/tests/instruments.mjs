// The run window's instruments, the editor and the language on the page (build/web in
// headless Chromium), each against what the desktop does, with ombrix-cli as the reference:
// a breakpoint and "Fortsetzen" pause where `run --lines --break` pauses, with the same
// values and the rewriting `eval --explain` gives; a watched term stops the run when it
// changes; a slower tempo ends with the same picture; the guide's search; completion and
// the marked blocks; the decimal separator following a change of the browser's language;
// the tables locked while a run is paused, "i" protected. With --bilder DIR the views are
// also left there as screenshots, light and dark.
//
//   node web/tests/instruments.mjs NATIVE_CLI [--bilder DIR] [ROW NAME]...
import { execFileSync } from "node:child_process";
import { mkdirSync } from "node:fs";
import { join } from "node:path";
import {
  closeBoxes, differingPixels, germanPage, kRoot, menu, nativePixels, openPage, pagePixels, pictureAt, runEnded, runRows,
  seriousViolations, settle,
} from "./browser.mjs";

// The run's end and its box: the box may arrive after the end has been reported.
async function endedWithBox(page) {
  await runEnded(page);
  await page.waitForFunction(() => window.ombrixRun.boxes.length > 0);
  // The box is counted before its dialog opens: a click meanwhile would meet the dialog.
  await page.locator("dialog[open]").waitFor();
  return page.evaluate(() => window.ombrixRun);
}

const [nativeCli, ...rest] = process.argv.slice(2);
const shotsAt = rest.indexOf("--bilder");
const shots = shotsAt >= 0 ? rest.splice(shotsAt, 2)[1] : "";
const only = rest;
// ombrix-cli under ",", its messages left out.
const cli = (command, ...args) => execFileSync(nativeCli, [command, "--decimal-separator", ",", ...args],
  { encoding: "utf8", stdio: ["ignore", "pipe", "ignore"] });
const example = (file) => join(kRoot, "examples", file);

// ombrix-cli's "[re|im]" as a term, so that `eval --display` gives the desktop's text.
const term = (value) => value.replace(/^\[(.*)\|(.*)\]$/, "($1)+($2)*i");
const vars = (values) => Object.entries(values).flatMap(([n, v]) => ["--var", `${n}=${term(v)}`]);
const displayed = (terms, values = {}) => cli("eval", "--display", ...vars(values), ...terms).trimEnd().split("\n");

// Where `run --lines --break LINE` pauses: before which line, and every variable's value then.
function nativePauses(file, line) {
  const out = cli("run", "--lines", "--break", String(line), example(file));
  const values = {};
  const pauses = [];
  for (const record of out.split("\n")) {
    if (record.startsWith("PAUSE H ")) pauses.push({ line: Number(record.slice(8)), values: { ...values } });
    for (const change of record.split("\t").slice(1).filter(Boolean)) {
      const [name, value] = change.split("=");
      values[name] = value;
    }
  }
  return pauses;
}

// The changes of `name` as `run --lines` shows them: the line the run then stands before, the value.
function nativeChanges(file, name) {
  return cli("run", "--lines", example(file)).split("\n").flatMap((record) => {
    const [at, ...changes] = record.split("\t");
    const change = changes.find((c) => c.startsWith(`${name}=`));
    return change ? [{ line: Number(at.slice(2)), value: change.slice(name.length + 1) }] : [];
  });
}

const runState = (page) => page.locator("#ablauf-zustand").textContent();
// The run window's variables: name → current value.
const shownValues = (page) => page.locator("#ablauf-variablen tbody tr").evaluateAll((rows) =>
  Object.fromEntries(rows.map((r) => [r.cells[0].textContent, r.cells[2].textContent])));

async function waitForState(page, text) {
  await page.waitForFunction((t) => document.getElementById("ablauf-zustand").textContent === t, text, { timeout: 60000 })
    .catch(() => {});
  await settle(page);
  return runState(page);
}

// The run window open, a breakpoint set on `line` by its button, the run started with F1.
async function pauseAtBreakpoint(page, url, file, line) {
  await openPage(page, `${url}?projekt=${file}`);
  await menu(page, "Start", "Ablauf anzeigen");
  await page.getByRole("button", { name: `Haltepunkt in Zeile ${line}`, exact: true }).click();
  await settle(page);
  await page.keyboard.press("F1");
  return waitForState(page, `Angehalten vor Zeile ${line} (Haltepunkt)`);
}

// Checks the shown values of `names` against the desktop's texts of the values given.
function sameValues(shown, values, names, what) {
  const expected = displayed(names.map((n) => term(values[n])));
  return names.map((n, k) => (shown[n] === expected[k] ? "" : `${what}: ${n} ist ${shown[n]} statt ${expected[k]}`));
}

// A program's editor ("hauptprogramm", "mausprogramm") with `text` typed into it.
async function typeProgram(page, text, panel = "hauptprogramm") {
  await page.locator(`#tab-${panel}`).click();
  const editor = page.locator(`#panel-${panel} .cm-content`);
  await editor.click();
  await page.keyboard.press("Control+A");
  await page.keyboard.insertText(text);
  return editor;
}

const markedLine = (page, panel, cls) => page.locator(`#panel-${panel} .${cls}`).evaluateAll((lines) =>
  lines.map((l) => [...l.parentElement.children].indexOf(l) + 1));

// Completion: typed start, the word accepted, the text after accepting.
const kCompletions = [
  { typed: "Solan", offered: "Solange", text: "Solange" },
  { typed: "ZeichneKr", offered: "ZeichneKreis", text: "ZeichneKreis(" },
  { typed: "Wurz", offered: "Wurzel", text: "Wurzel(" },
  { typed: "Lösche", offered: "LöscheBild", text: "LöscheBild" },
];

// The browser's language as the page reads it, changeable while the page is open.
async function languagePage(browser) {
  const page = await germanPage(browser, { viewport: { width: 1280, height: 800 } });
  await page.addInitScript(() => {
    window.ombrixLanguage = "de-DE";
    Object.defineProperty(Navigator.prototype, "language", { get: () => window.ombrixLanguage });
    Object.defineProperty(Navigator.prototype, "languages", { get: () => [window.ombrixLanguage] });
  });
  return page;
}
const switchLanguage = (page, language) => page.evaluate((l) => {
  window.ombrixLanguage = l;
  window.dispatchEvent(new Event("languagechange"));
}, language);
const tableValue = (page, name) => page.locator(`input[aria-label="Variablenwert bei Programmstart: ${name}"]`);

// A watched term in the open run window, marked to stop the run when it changes.
async function watch(page, term) {
  const field = page.getByRole("textbox", { name: "Hier einen Term eingeben, um ihn zu beobachten." });
  await field.fill(term);
  await field.press("Enter");
  await page.getByRole("checkbox", { name: `Anhalten bei Änderung von ${term}` }).check();
  await settle(page);
}

// Axe's serious and critical findings in a view, and its screenshot with --bilder.
async function look(page, view) {
  if (shots) {
    mkdirSync(shots, { recursive: true });
    await page.screenshot({ path: join(shots, `${view}.png`) });
  }
  return (await seriousViolations(page)).map((v) => `${view}: ${v}`);
}

const kRows = [
  {
    name: "Haltepunkt und Fortsetzen (F5): hält wie ombrix-cli --break, mit denselben Werten und derselben Umformung",
    async run(page, url) {
      const [first, second] = nativePauses("spirale.omp", 8);
      const state = await pauseAtBreakpoint(page, url, "spirale.omp", 8);
      const atFirst = await shownValues(page);
      const rewriting = (await page.locator("#ablauf-umformung").innerText()).split("\n").filter(Boolean);
      const explained = cli("eval", "--explain", ...vars({ z: first.values.z, q: first.values.q }), "z*q")
        .split("\n").filter(Boolean);
      await page.keyboard.press("F5");
      await waitForState(page, "Das Hauptprogramm läuft.");
      const again = await waitForState(page, `Angehalten vor Zeile ${second.line} (Haltepunkt)`);
      const atSecond = await shownValues(page);
      // Without the breakpoint (F9 on its line) F5 runs to the end, and the picture is the desktop's.
      await page.getByRole("button", { name: "Haltepunkt in Zeile 8", exact: true }).focus();
      await page.keyboard.press("F9");
      await settle(page);
      const removed = await page.getByRole("button", { name: "Haltepunkt in Zeile 8", exact: true }).getAttribute("aria-pressed");
      await page.keyboard.press("F5");
      await runEnded(page);
      const boxes = await page.evaluate(() => window.ombrixRun.boxes);
      return [
        state === `Angehalten vor Zeile ${first.line} (Haltepunkt)` ? "" : `erster Halt: ${state}`,
        ...sameValues(atFirst, first.values, ["q", "z"], "erster Halt"),
        rewriting.join(" | ") === explained.join(" | ") ? "" : `Umformung ${rewriting.join(" | ")} statt ${explained.join(" | ")}`,
        again === `Angehalten vor Zeile ${second.line} (Haltepunkt)` ? "" : `nach F5: ${again}`,
        ...sameValues(atSecond, second.values, ["q", "z"], "zweiter Halt"),
        removed === "false" ? "" : "F9 nahm den Haltepunkt nicht weg",
        boxes.some((b) => b.includes("erfolgreich beendet")) ? "" : `am Ende: ${boxes.join("; ")}`,
        differingPixels(await nativePixels(page, nativeCli, "spirale.omp"), await pagePixels(page)) === 0
          ? "" : "das Bild am Ende ist ein anderes",
      ];
    },
  },
  {
    name: "Beobachteter Term mit Anhalten: hält, sobald sich sein Wert ändert, und zeigt den Text des Desktops",
    async run(page, url) {
      await openPage(page, `${url}?projekt=spirale.omp`);
      await menu(page, "Start", "Ablauf anzeigen");
      await watch(page, "Betrag(z)");
      await page.keyboard.press("F1");
      const faults = [];
      for (const { line, value } of nativeChanges("spirale.omp", "z").slice(0, 2)) {
        const wanted = `Angehalten vor Zeile ${line} (ein beobachteter Term hat sich geändert)`;
        const state = await waitForState(page, wanted);
        const shown = await page.locator("#ablauf-terme tbody tr").first().locator("td").nth(1).textContent();
        const [expected] = displayed(["Betrag(z)"], { z: value });
        if (state !== wanted) faults.push(`Halt: ${state} statt vor Zeile ${line}`);
        if (shown !== expected) faults.push(`Wert ${shown} statt ${expected}`);
        await page.keyboard.press("F5");
      }
      return faults;
    },
  },
  {
    name: "Tempo: 1000 Zeilen je Sekunde dauern, und das Ende zeigt dasselbe Bild",
    async run(page, url) {
      await openPage(page, `${url}?projekt=spirale.omp`);
      await menu(page, "Start", "Ablauf anzeigen");
      const tempo = page.getByRole("slider", { name: "Tempo:" });
      await tempo.fill("9");
      await settle(page);
      const text = await page.locator("#tempo-text").textContent();
      await page.keyboard.press("F1");
      const run = await runEnded(page).then(() => page.evaluate(() => window.ombrixRun));
      // 1,806 lines at 1,000 a second.
      return [
        text === "1000 Zeilen je Sekunde" ? "" : `Tempo zeigt ${text}`,
        run.ms >= 1500 ? "" : `nach ${Math.round(run.ms)} ms zu Ende`,
        run.boxes.some((b) => b.includes("erfolgreich beendet")) ? "" : `am Ende: ${run.boxes.join("; ")}`,
        differingPixels(await nativePixels(page, nativeCli, "spirale.omp"), await pagePixels(page)) === 0
          ? "" : "das Bild am Ende ist ein anderes",
      ];
    },
  },
  {
    name: "Sprachübersicht: die Suche findet ein Schlüsselwort und zeigt den Treffer",
    async run(page, url) {
      await openPage(page, url);
      await page.getByRole("tab", { name: "Sprachübersicht", exact: true }).click();
      await page.locator(".guide-text h2").first().waitFor();
      const search = page.getByRole("searchbox", { name: "Suchen:" });
      await search.fill("EndeSolange");
      const count = await page.locator(".guide-text mark").count();
      const first = await page.locator("#treffer").textContent();
      const current = page.locator(".guide-text mark.current");
      const shown = (await current.textContent()) === "EndeSolange" && (await current.isVisible());
      const inView = await current.evaluate((m) => {
        const box = m.getBoundingClientRect();
        return box.top >= 0 && box.bottom <= window.innerHeight;
      });
      await search.press("Enter");
      const second = await page.locator("#treffer").textContent();
      await search.press("Shift+F3");
      await search.press("Shift+F3");
      const wrapped = await page.locator("#treffer").textContent();
      await page.locator(".guide-text").click();
      await page.keyboard.press("Control+F");
      const focused = await search.evaluate((s) => s === document.activeElement);
      await search.fill("Quxbaz");
      const none = await page.locator("#treffer").textContent();
      return [
        count >= 2 ? "" : `${count} Treffer`,
        first === `Treffer 1 von ${count}` ? "" : `zuerst: ${first}`,
        shown && inView ? "" : "der Treffer ist nicht zu sehen",
        second === `Treffer 2 von ${count}` ? "" : `nach Enter: ${second}`,
        wrapped === `Treffer ${count} von ${count}` ? "" : `zweimal Umschalt+F3: ${wrapped}`,
        focused ? "" : "Strg+F führt nicht zur Suche",
        none === "Nicht gefunden" ? "" : `ohne Treffer: ${none}`,
      ];
    },
  },
  {
    name: "Vervollständigung: Schlüsselwort, Befehl, eingebaute Funktion angeboten und eingefügt",
    async run(page, url) {
      await openPage(page, url);
      const faults = [];
      for (const { typed, offered, text } of kCompletions) {
        const editor = await typeProgram(page, "");
        await page.keyboard.type(typed);
        const option = page.locator(".cm-tooltip-autocomplete li[aria-selected=true] .cm-completionLabel");
        await option.filter({ hasText: offered }).waitFor({ timeout: 5000 }).catch(() => {});
        const label = (await option.count()) ? await option.textContent() : "nichts";
        // The editor takes Enter as a choice only a moment after the list has changed.
        await page.waitForTimeout(150);
        await page.keyboard.press("Enter");
        const result = await editor.textContent();
        if (label !== offered) faults.push(`${typed}: ${label} angeboten statt ${offered}`);
        if (result !== text) faults.push(`${typed}: ${result} eingefügt statt ${text}`);
      }
      return faults;
    },
  },
  {
    name: "Markierte Blöcke und Zeilen: der erste gebrochene Block, die Zeile eines Fehlers im Lauf",
    async run(page, url) {
      await openPage(page, `${url}?projekt=spirale.omp`);
      const faults = [];
      for (const [program, line] of [
        ["z:=0\nSolange(Betrag(z)<2)\nz:=z+1", 2],
        ["z:=0\nWiederhole(3)\nEndeSolange\nEndeWiederhole", 3],
        ["Wiederhole(2)\nz:=1\nEndeWiederhole", -1],
      ]) {
        await typeProgram(page, program);
        await page.waitForTimeout(400); // the editor checks a moment after typing stops
        await settle(page);
        const marked = await markedLine(page, "hauptprogramm", "cm-structure-line");
        if (marked.join() !== (line < 0 ? "" : String(line))) faults.push(`${program.replaceAll("\n", "⏎")}: markiert ${marked.join() || "keine"}`);
      }
      // A run error: its line marked, the box the desktop's; in the mouse-click program too,
      // whose editor then shows.
      await typeProgram(page, "z:=1\nq:=z/0\nz:=2");
      await page.keyboard.press("F1");
      const run = await endedWithBox(page);
      await closeBoxes(page);
      const failed = await markedLine(page, "hauptprogramm", "cm-failed-line");
      await typeProgram(page, "z:=1\nq:=z/0", "mausprogramm");
      await typeProgram(page, "z:=1");
      await page.keyboard.press("F1");
      await endedWithBox(page);
      await closeBoxes(page);
      const at = await pictureAt(page, 200, 200);
      await page.mouse.click(at.x, at.y);
      await page.locator("dialog[open]").waitFor();
      const mouseBox = await page.evaluate(() => window.ombrixRun.boxes.at(-1));
      await closeBoxes(page);
      const mouseFailed = await markedLine(page, "mausprogramm", "cm-failed-line");
      const expected = (program) =>
        `Fehler: Unzulässiges Argument bei Rechenoperator:\n\nZeile 2: 'q:=z/0'\n\nin: '${program}'`;
      return [
        ...faults,
        failed.join() === "2" ? "" : `Fehlerzeile markiert: ${failed.join() || "keine"}`,
        run.boxes.join() === expected("Hauptprogramm") ? "" : `Meldung: ${run.boxes.join("; ")}`,
        mouseFailed.join() === "2" && (await page.locator("#panel-mausprogramm").isVisible())
          ? "" : `Mausklick-Programm: Fehlerzeile ${mouseFailed.join() || "keine"}`,
        mouseBox === expected("Ereignisbehandlung für 'Mausknopf gedrückt'") ? "" : `Mausklick-Meldung: ${mouseBox}`,
      ];
    },
  },
  {
    name: "Sprache wechselt bei offener Seite: Dezimalzeichen, gezeigte Werte und neue Eingaben folgen",
    page: languagePage,
    async run(page, url) {
      await pauseAtBreakpoint(page, url, "spirale.omp", 8);
      const german = await tableValue(page, "e").inputValue();
      // q no longer changes: its watch must not stop the run for the new separator alone.
      await watch(page, "q");
      await switchLanguage(page, "en-US");
      await settle(page);
      const english = await tableValue(page, "e").inputValue();
      const runWindow = (await shownValues(page)).q;
      await page.keyboard.press("F5");
      await waitForState(page, "Das Hauptprogramm läuft.");
      const paused = await waitForState(page, "Angehalten vor Zeile 8 (Haltepunkt)");
      const watched = await page.locator("#ablauf-terme tbody tr").first().locator("td").nth(1).textContent();
      await page.keyboard.press("F2");
      await page.getByRole("tab", { name: "Variablen", exact: true }).click();
      await settle(page);
      await tableValue(page, "q").fill("1.25");
      await tableValue(page, "q").press("Enter");
      await settle(page);
      const typed = await tableValue(page, "q").inputValue();
      const boxes = await page.locator("dialog[open]").count();
      await switchLanguage(page, "de-DE");
      await settle(page);
      const back = await tableValue(page, "q").inputValue();
      // The separator of each language's numbers, as a system set to it gives.
      const others = [];
      for (const [language, e] of [["de-AT", "2,71828182845905"], ["de-CH", "2.71828182845905"], ["fr-FR", "2,71828182845905"]]) {
        await switchLanguage(page, language);
        await settle(page);
        const shown = await tableValue(page, "e").inputValue();
        if (shown !== e) others.push(`${language}: e ist ${shown}`);
      }
      return [
        ...others,
        german === "2,71828182845905" ? "" : `deutsch: e ist ${german}`,
        english === "2.71828182845905" ? "" : `englisch: e ist ${english}`,
        runWindow === "0.99+0.0825*i" ? "" : `englisch, Ablauf: q ist ${runWindow}`,
        paused === "Angehalten vor Zeile 8 (Haltepunkt)" ? "" : `englisch, nach F5: ${paused}`,
        watched === "0.99+0.0825*i" ? "" : `englisch, beobachtet: q ist ${watched}`,
        typed === "1.25" && boxes === 0 ? "" : `1.25 eingegeben: ${typed}, ${boxes} Meldungen`,
        back === "1,25" ? "" : `wieder deutsch: q ist ${back}`,
      ];
    },
  },
  {
    name: "Tabellen in einer Pause gesperrt, wie die Bearbeiten-Befehle des Desktops",
    async run(page, url) {
      await pauseAtBreakpoint(page, url, "spirale.omp", 8);
      const editable = await page.locator("#panel-variablen :is(input, button), #panel-funktionen :is(input, button)")
        .evaluateAll((all) => all.filter((e) => !e.disabled).map((e) => e.getAttribute("aria-label") || e.textContent));
      // Locked fields look locked: not as the fields that take typing.
      const styleOf = (field) => field.evaluate((e) => `${getComputedStyle(e).backgroundColor} ${getComputedStyle(e).borderStyle}`);
      const lockedLook = await styleOf(tableValue(page, "q"));
      const openLook = await styleOf(page.getByRole("textbox", { name: "Hier einen Term eingeben, um ihn zu beobachten." }));
      const before = await page.locator("#panel-hauptprogramm .cm-content").textContent();
      await page.getByRole("tab", { name: "Hauptprogramm", exact: true }).click();
      await page.locator("#panel-hauptprogramm .cm-content").click();
      await page.keyboard.type("z:=1");
      const after = await page.locator("#panel-hauptprogramm .cm-content").textContent();
      return [
        editable.length === 0 ? "" : `bearbeitbar: ${editable.join(", ")}`,
        after === before ? "" : "das Hauptprogramm nahm Text an",
        lockedLook !== openLook ? "" : "gesperrte Felder sehen aus wie offene",
      ];
    },
  },
  {
    name: "Variable löschen: i nie, e und Pi nach der Frage, wie auf dem Desktop",
    async run(page, url) {
      await openPage(page, url);
      await page.getByRole("tab", { name: "Variablen", exact: true }).click();
      const remove = (name) => page.getByRole("button", { name: `Variable löschen: ${name}`, exact: true }).click();
      const dialog = page.locator("dialog[open]");
      await remove("i");
      const refused = await dialog.innerText();
      await closeBoxes(page);
      await remove("e");
      const asked = await dialog.innerText();
      await dialog.getByRole("button", { name: "OK" }).click();
      await settle(page);
      const left = await page.locator("#panel-variablen tbody th").allTextContents();
      return [
        refused.includes("Sie können die imaginäre Größe 'i' nicht löschen.") ? "" : `i: ${refused}`,
        asked.includes("Wollen Sie die Variable 'e'\nwirklich löschen?") ? "" : `e: ${asked}`,
        left.join() === "i,Pi" ? "" : `danach: ${left.join()}`,
      ];
    },
  },
  {
    name: "Ansichten hell und dunkel: Halt am Haltepunkt, offene Vervollständigung, markierter Block",
    async run(page, url) {
      const found = [];
      for (const scheme of ["light", "dark"]) {
        await page.emulateMedia({ colorScheme: scheme });
        await pauseAtBreakpoint(page, url, "julia-regler.omp", 4);
        found.push(...(await look(page, `${scheme}-Haltepunkt`)));
        await page.keyboard.press("F2");
        await typeProgram(page, "z:=0\nSolange(Betrag(z)<2)\nz:=z+1\nZeichne");
        await page.locator("#panel-hauptprogramm .cm-structure-line").waitFor();
        await page.locator(".cm-tooltip-autocomplete").waitFor();
        found.push(...(await look(page, `${scheme}-Editor`)));
      }
      return found;
    },
  },
];

await runRows(kRows, only);
