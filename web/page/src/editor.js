// The program editor: CodeMirror 6 with line numbers, the language's words highlighted
// (block keywords, commands, built-in functions, the project's functions and variables),
// completion of those words, the failed line and the first broken block marked, and the
// cursor's line shown ("Zeile 5"). A line longer than the limit is refused as it is typed.
import { EditorState, StateEffect, StateField, Compartment, RangeSetBuilder } from "@codemirror/state";
import { EditorView, Decoration, keymap, lineNumbers, highlightActiveLine, drawSelection } from "@codemirror/view";
import { defaultKeymap, history, historyKeymap } from "@codemirror/commands";
import { StreamLanguage, HighlightStyle, syntaxHighlighting } from "@codemirror/language";
import { autocompletion, completionKeymap } from "@codemirror/autocomplete";
import { searchKeymap, highlightSelectionMatches } from "@codemirror/search";
import { tags } from "@lezer/highlight";

// Characters of one line, blanks not counted.
export const kMaxLineLength = 100000;

// The words of the language (from the engine) and of the open project, lower-cased.
const words = { keywords: new Map(), commands: new Map(), builtins: new Map(), functions: new Map(), variables: new Map() };

export function setVocabulary(vocabulary) {
  for (const word of vocabulary.keywords) words.keywords.set(word.toLowerCase(), word);
  for (const { word, arguments: count } of vocabulary.commands) words.commands.set(word.toLowerCase(), { word, count });
  for (const word of vocabulary.builtins) words.builtins.set(word.toLowerCase(), word);
}

export function setProjectNames(functions, variables) {
  words.functions = new Map(functions.map((n) => [n.toLowerCase(), n]));
  words.variables = new Map(variables.map((n) => [n.toLowerCase(), n]));
}

const kWord = /[A-Za-zÄÖÜäöüß_][A-Za-zÄÖÜäöüß_0-9]*/;

const makeLanguage = () => StreamLanguage.define({
  name: "ombrix",
  token(stream) {
    if (stream.eatSpace()) return null;
    if (stream.match(/^(\d+([.,]\d*)?|[.,]\d+)([eE][-+]?\d+)?/)) return "number";
    if (stream.match(":=")) return "operator";
    const word = stream.match(kWord);
    if (word) {
      const lower = word[0].toLowerCase();
      if (words.keywords.has(lower)) return "keyword";
      if (words.commands.has(lower)) return "ombrixCommand";
      if (words.builtins.has(lower)) return "ombrixBuiltin";
      if (words.functions.has(lower)) return "ombrixFunction";
      if (words.variables.has(lower)) return "variableName";
      return null;
    }
    if (stream.match(/^[-+*/^%<>=#!]/)) return "operator";
    stream.next();
    return null;
  },
  tokenTable: {
    ombrixCommand: tags.macroName,
    ombrixBuiltin: tags.standard(tags.function(tags.variableName)),
    ombrixFunction: tags.function(tags.variableName),
  },
});

// Colours by class, so that the light and the dark theme set them (ombrix.css).
const highlighting = HighlightStyle.define([
  { tag: tags.keyword, class: "tok-keyword" },
  { tag: tags.macroName, class: "tok-command" },
  { tag: tags.standard(tags.function(tags.variableName)), class: "tok-builtin" },
  { tag: tags.function(tags.variableName), class: "tok-function" },
  { tag: tags.variableName, class: "tok-variable" },
  { tag: tags.number, class: "tok-number" },
  { tag: tags.operator, class: "tok-operator" },
]);

function complete(context) {
  const word = context.matchBefore(/[A-Za-zÄÖÜäöüß_][A-Za-zÄÖÜäöüß_0-9]*/);
  if (!word || (word.from === word.to && !context.explicit)) return null;
  const options = [];
  for (const w of words.keywords.values()) options.push({ label: w, type: "keyword", detail: "Block" });
  for (const { word: w, count } of words.commands.values()) {
    options.push({ label: w, type: "function", detail: "Befehl", apply: count > 0 ? `${w}(` : w });
  }
  for (const w of words.builtins.values()) options.push({ label: w, type: "function", detail: "eingebaut", apply: `${w}(` });
  for (const w of words.functions.values()) options.push({ label: w, type: "function", detail: "Funktion", apply: `${w}(` });
  for (const w of words.variables.values()) options.push({ label: w, type: "variable", detail: "Variable" });
  return { from: word.from, options, validFor: /^[A-Za-zÄÖÜäöüß_0-9]*$/ };
}

// The marks: the line that failed, the first line where the blocks stop balancing.
const setMarks = StateEffect.define();
const marks = StateField.define({
  create: () => ({ failed: -1, structure: -1 }),
  update(value, tr) {
    for (const effect of tr.effects) if (effect.is(setMarks)) value = { ...value, ...effect.value };
    // Typing moves lines: the marks stay with them until the next check.
    if (tr.docChanged && value.failed >= 0) value = { ...value, failed: -1 };
    return value;
  },
  provide: (field) =>
    EditorView.decorations.from(field, (value) => (view) => {
      const builder = new RangeSetBuilder();
      const lines = [
        [value.failed, "cm-failed-line"],
        [value.structure, "cm-structure-line"],
      ].filter(([n]) => n >= 0 && n < view.state.doc.lines).sort((a, b) => a[0] - b[0]);
      for (const [n, cls] of lines) {
        const line = view.state.doc.line(n + 1);
        builder.add(line.from, line.from, Decoration.line({ class: cls }));
      }
      return builder.finish();
    }),
});

function longestLine(state, changes) {
  let longest = 0;
  changes.iterChangedRanges((_a, _b, from, to) => {
    for (let n = state.doc.lineAt(from).number; n <= state.doc.lineAt(to).number; ++n) {
      longest = Math.max(longest, state.doc.line(n).text.replaceAll(" ", "").length);
    }
  });
  return longest;
}

// A program editor in `parent`; `label` names it for assistive technology. `onEdit` is told
// of every change the user makes, `onTooLong` of a refused one (with the length it would
// have had), `onCursor` of the cursor's line.
export function createEditor(parent, { label, onEdit, onTooLong, onCursor }) {
  const readOnly = new Compartment();
  const languageSlot = new Compartment();
  const state = EditorState.create({
    doc: "",
    extensions: [
      lineNumbers(),
      highlightActiveLine(),
      drawSelection(),
      history(),
      languageSlot.of(makeLanguage()),
      syntaxHighlighting(highlighting),
      highlightSelectionMatches(),
      autocompletion({ override: [complete] }),
      marks,
      readOnly.of(EditorState.readOnly.of(false)),
      keymap.of([...completionKeymap, ...defaultKeymap, ...historyKeymap, ...searchKeymap]),
      EditorView.contentAttributes.of({ "aria-label": label, spellcheck: "false", autocapitalize: "off" }),
      EditorState.transactionFilter.of((tr) => {
        if (!tr.docChanged) return tr;
        const longest = longestLine(tr.state, tr.changes);
        if (longest <= kMaxLineLength) return tr;
        queueMicrotask(() => onTooLong(longest));
        return [];
      }),
      EditorView.updateListener.of((update) => {
        if (update.docChanged && update.transactions.some((t) => t.isUserEvent("input") || t.isUserEvent("delete") ||
          t.isUserEvent("undo") || t.isUserEvent("redo") || t.isUserEvent("move"))) {
          onEdit();
        }
        if (update.selectionSet || update.docChanged) {
          onCursor(update.state.doc.lineAt(update.state.selection.main.head).number);
        }
      }),
    ],
  });
  const view = new EditorView({ state, parent });

  return {
    view,
    text: () => view.state.doc.toString(),
    // Replaces the whole text (not an edit of the user's); the cursor goes to the start.
    setText(text) {
      view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text }, selection: { anchor: 0 } });
    },
    setReadOnly(on) {
      view.dispatch({ effects: readOnly.reconfigure(EditorState.readOnly.of(on)) });
    },
    mark(value) {
      view.dispatch({ effects: setMarks.of(value) });
    },
    // Selects the first occurrence of `stored` (a stored line, without blanks) in the text,
    // as the desktop's editor selects the current line.
    selectStored(stored) {
      const at = stored ? view.state.doc.toString().indexOf(stored) : -1;
      if (at < 0) return;
      view.dispatch({ selection: { anchor: at, head: at + stored.length }, scrollIntoView: true });
    },
    // Re-highlights after the project's names changed.
    refresh() {
      view.dispatch({ effects: languageSlot.reconfigure(makeLanguage()) });
    },
    cursorLine: () => view.state.doc.lineAt(view.state.selection.main.head).number,
    focus: () => view.focus(),
  };
}
