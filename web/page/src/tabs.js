// The tabs beside the picture (WAI-ARIA tabs: the arrow keys move between them, Home and
// End to the ends; a tab's panel shows when it is chosen).
const tabs = [...document.querySelectorAll("[role=tab]")];
const listeners = [];

export function selectTab(name, focus = false) {
  for (const tab of tabs) {
    const chosen = tab.dataset.tab === name;
    tab.setAttribute("aria-selected", String(chosen));
    tab.tabIndex = chosen ? 0 : -1;
    document.getElementById(tab.getAttribute("aria-controls")).hidden = !chosen;
    if (chosen && focus) tab.focus();
  }
  for (const listener of listeners) listener(name);
}

export function onTabSelected(listener) {
  listeners.push(listener);
}

export function selectedTab() {
  return tabs.find((t) => t.getAttribute("aria-selected") === "true")?.dataset.tab;
}

export function showTab(name, shown) {
  const tab = tabs.find((t) => t.dataset.tab === name);
  tab.hidden = !shown;
  if (!shown && selectedTab() === name) selectTab("hauptprogramm");
}

for (const tab of tabs) {
  tab.addEventListener("click", () => selectTab(tab.dataset.tab));
  tab.addEventListener("keydown", (event) => {
    const shown = tabs.filter((t) => !t.hidden);
    const at = shown.indexOf(tab);
    const go = { ArrowRight: at + 1, ArrowLeft: at - 1, Home: 0, End: shown.length - 1 }[event.key];
    if (go === undefined) return;
    event.preventDefault();
    selectTab(shown[(go + shown.length) % shown.length].dataset.tab, true);
  });
}
