// The page's German texts: the desktop's captions, titles and messages.
export const kUnnamed = "{ohne Namen}";
export const kChanged = "geändert";
export const kConfirmDiscard = "Wollen Sie Ihre Änderungen am Projekt\nwirklich verwerfen?";
export const kPausedStatus = (line) => `Angehalten vor Zeile ${line} – F5 setzt fort`;
export const kAboutTitle = "Über Ombrix";
export const kAboutText =
  "Eine Lernumgebung zum Rechnen und Zeichnen mit komplexen Zahlen: Terme, eigene " +
  "Funktionen und kleine deutsche Programme, die die komplexe Zahlenebene bemalen.\n\n" +
  "Lizenz: GNU General Public License, Version 3 oder später\n(GPL-3.0-or-later).";
export const kProgramNames = ["Hauptprogramm", "Ereignisbehandlung für 'Mausknopf gedrückt'"];
export const kLineTooLong = (limit, length) =>
  `Eine Programmzeile darf höchstens ${limit} Zeichen haben (Leerzeichen zählen nicht mit); ` +
  `hier wären es ${length} geworden. Der Text wurde nicht eingefügt.`;

// The two tables: what differs between functions and variables.
export const kTables = {
  functions: {
    nameColumn: "Funktionsname",
    valueColumn: "Funktionsterm",
    newLabel: "Name der neuen Funktion:",
    add: "Neue Funktion hinzufügen",
    remove: "Funktion löschen",
    full: "Es sind höchstens 105 eigene Funktionen möglich.\nBitte löschen Sie zuerst eine Funktion.",
    unsuitable: "Bitte geben Sie einen\ngeeigneten Funktionsnamen ein.",
    noun: "Funktionsname",
    entry: "Funktion",
    builtin: "{eingebaute Funktion}",
  },
  variables: {
    nameColumn: "Variablenname",
    valueColumn: "Variablenwert bei Programmstart",
    newLabel: "Name einer neuen Variable:",
    add: "Neue Variable hinzufügen",
    remove: "Variable löschen",
    full: "Es sind höchstens 128 Variablen möglich.\nBitte löschen Sie zuerst eine Variable.",
    unsuitable: "Bitte geben Sie einen\ngeeigneten Variablennamen ein.",
    noun: "Variablenname",
    entry: "Variable",
  },
};
export const kTaken = (noun, name) => `${noun} '${name}' existiert bereits\nund kann nicht verwendet werden.`;
export const kConfirmDelete = (entry, name) => `Wollen Sie die ${entry} '${name}'\nwirklich löschen?`;
export const kDeleteI = "Sie können die imaginäre Größe 'i' nicht löschen.";
export const kResetI = "Das Programm hat die imaginäre Größe 'i'\nwieder auf den üblichen Wert zurück gesetzt.";
export const kBadValue = (name, message) =>
  `Bitte geben Sie der Variable '${name}'\neinen gültigen Wert.\n\nBei der Auswertung Ihrer Eingabe ist der Fehler\n'${message}'\naufgetreten.`;

// The run window.
export const kNoRun = "Kein Programm läuft.";
export const kRunning = "Das Hauptprogramm läuft.";
export const kPausedBefore = (line) => `Angehalten vor Zeile ${line}`;
export const kFailedAt = (line, program) => `Fehler in Zeile ${line} (${program})`;
// By PauseReason: None, Requested, SingleStep, Breakpoint, WatchChanged, SteppedBack.
export const kPauseReasons = ["", "", " (Einzelschritt)", " (Haltepunkt)",
  " (ein beobachteter Term hat sich geändert)", " (Schritt zurück)"];
export const kWatchHint = "Hier einen Term eingeben, um ihn zu beobachten.";
export const kTempoSteps = [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 0];
export const kTempoText = (n) => (n === 0 ? "unbegrenzt" : n === 1 ? "1 Zeile je Sekunde" : `${n} Zeilen je Sekunde`);

// The controls.
export const kNoControls =
  "Noch keine Regler. Ein Schieberegler gibt einer Variablen einen reellen Startwert, " +
  "ein Punkt im Bild einen komplexen, den Sie mit der Maus ziehen.";
export const kNoVariableLeft =
  "Es gibt keine Variable, die noch einen Regler bekommen kann.\nLegen Sie zuerst unter " +
  "\"Bearbeiten\", \"Variablen\" eine Variable an.";
export const kMissingVariable = "(keine solche Variable)";
export const kLiveHint = "Jede Änderung startet das Hauptprogramm neu.";

// Only the page has these.
export const kLinkCopied = "Der Link mit dem ganzen Projekt ist in der Zwischenablage.";
export const kLinkShown = "Kopieren Sie diesen Link; er enthält das ganze Projekt:";
export const kBadLink = "Der Link enthält kein lesbares Projekt.";
export const kPictureRefused = (name) => `Das Bild "${name}" konnte nicht gelesen werden.`;
export const kUnknownPictureExtension = (extension) => `Unbekannte Bilddateierweiterung (.${extension})`;
