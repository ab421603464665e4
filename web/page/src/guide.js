// The language guide ("Sprachübersicht"): the same Markdown as the desktop's, rendered when
// the page is built (sprachuebersicht.html), with its contents and a search.
import { element } from "./boxes.js";

const panel = document.getElementById("panel-hilfe");
const body = panel.querySelector(".guide-text");
const contents = panel.querySelector(".guide-contents");
const search = panel.querySelector("#suche");
const found = panel.querySelector("#treffer");
let loaded = null;
let marks = [];
let current = -1;

export function loadGuide() {
  loaded ??= fetch("sprachuebersicht.html").then((r) => r.text()).then((html) => {
    body.innerHTML = html;
    const headings = [...body.querySelectorAll("h1, h2, h3")];
    contents.replaceChildren(...headings.map((h) => {
      const link = element("a", { href: `#${h.id}`, className: `level-${h.tagName[1]}` }, h.textContent);
      link.addEventListener("click", (event) => {
        event.preventDefault();
        h.scrollIntoView();
        h.tabIndex = -1;
        h.focus();
      });
      return element("li", {}, link);
    }));
  });
  return loaded;
}

function clearMarks() {
  for (const mark of marks) mark.replaceWith(...mark.childNodes);
  body.normalize();
  marks = [];
  current = -1;
}

// Every place of the search text, case ignored, marked; Enter goes to the next.
function find(text) {
  clearMarks();
  if (!text) {
    found.textContent = "";
    return;
  }
  const lower = text.toLocaleLowerCase("de");
  const walker = document.createTreeWalker(body, NodeFilter.SHOW_TEXT);
  const nodes = [];
  while (walker.nextNode()) nodes.push(walker.currentNode);
  for (const node of nodes) {
    let rest = node;
    let at;
    while ((at = rest.data.toLocaleLowerCase("de").indexOf(lower)) >= 0) {
      const match = rest.splitText(at);
      rest = match.splitText(text.length);
      const mark = element("mark");
      match.replaceWith(mark);
      mark.append(match);
      marks.push(mark);
    }
  }
  found.textContent = marks.length === 0 ? "Nicht gefunden" : `${marks.length} Treffer`;
  go(0);
}

function go(index) {
  if (marks.length === 0) return;
  marks[current]?.classList.remove("current");
  current = (index + marks.length) % marks.length;
  marks[current].classList.add("current");
  marks[current].scrollIntoView({ block: "center" });
  found.textContent = `Treffer ${current + 1} von ${marks.length}`;
}

search.addEventListener("input", () => find(search.value));
// Enter and F3 go to the next place, with Shift to the one before, as in the desktop's guide.
search.addEventListener("keydown", (event) => {
  if (event.key === "Enter" || event.key === "F3") {
    event.preventDefault();
    go(current + (event.shiftKey ? -1 : 1));
  }
});
// Ctrl+F while the guide shows opens its own search, as the desktop's does.
document.addEventListener("keydown", (event) => {
  if (!panel.hidden && event.ctrlKey && !event.altKey && event.code === "KeyF" && !document.querySelector("dialog[open]")) {
    event.preventDefault();
    search.focus();
    search.select();
  }
});
