// The menu bar: menus of actions, each an accessible menu button (the arrow keys move
// through the bar and the menus, Escape closes). An action has a caption, an optional key
// shown beside it, and a handler; an action may be disabled.
import { element } from "./boxes.js";

const bar = document.getElementById("menueleiste");
const menus = [];

function closeAll(except) {
  for (const menu of menus) {
    if (menu !== except) {
      menu.list.hidden = true;
      menu.button.setAttribute("aria-expanded", "false");
    }
  }
}

function items(menu) {
  return [...menu.list.querySelectorAll("[role=menuitem]")].filter((i) => i.getAttribute("aria-disabled") !== "true");
}

function open(menu, focusLast = false) {
  closeAll(menu);
  menu.list.hidden = false;
  menu.button.setAttribute("aria-expanded", "true");
  const enabled = items(menu);
  (focusLast ? enabled[enabled.length - 1] : enabled[0])?.focus();
}

function moveBar(menu, by) {
  const index = (menus.indexOf(menu) + by + menus.length) % menus.length;
  const wasOpen = !menu.list.hidden;
  closeAll();
  menus[index].button.focus();
  if (wasOpen) open(menus[index]);
}

// Adds a menu; `entries` are actions, "-" for a separator line or {group: caption} for a
// caption over the next items. Answers the items by caption.
export function addMenu(caption, entries) {
  const id = `menu-${menus.length}`;
  const button = element("button", { type: "button", id: `${id}-button`, className: "menu-button" }, caption);
  button.setAttribute("aria-haspopup", "menu");
  button.setAttribute("aria-expanded", "false");
  button.setAttribute("aria-controls", id);
  const list = element("div", { id, className: "menu", hidden: true });
  list.setAttribute("role", "menu");
  list.setAttribute("aria-labelledby", button.id);
  const menu = { button, list, items: {} };
  for (const entry of entries) {
    if (entry === "-") {
      const line = element("div", { className: "menu-separator" });
      line.setAttribute("role", "separator");
      list.append(line);
    } else if (entry.group) {
      list.append(element("div", { className: "menu-group", ariaHidden: "true" }, entry.group));
    } else {
      const item = element("div", { className: "menu-item", tabIndex: -1 },
        element("span", {}, entry.caption), element("span", { className: "menu-key" }, entry.key || ""));
      item.setAttribute("role", "menuitem");
      if (entry.key) item.setAttribute("aria-keyshortcuts", entry.key.replace("Strg", "Control").replace("Umschalt", "Shift"));
      const act = () => {
        if (item.getAttribute("aria-disabled") === "true") return;
        closeAll();
        button.focus();
        entry.run();
      };
      item.addEventListener("click", act);
      item.addEventListener("keydown", (event) => {
        if (event.key === "Enter" || event.key === " ") {
          event.preventDefault();
          act();
        }
      });
      menu.items[entry.caption] = item;
      list.append(item);
    }
  }
  button.addEventListener("click", () => (list.hidden ? open(menu) : closeAll()));
  button.addEventListener("keydown", (event) => {
    if (event.key === "ArrowDown" || event.key === "ArrowUp") {
      event.preventDefault();
      open(menu, event.key === "ArrowUp");
    } else if (event.key === "ArrowRight" || event.key === "ArrowLeft") {
      event.preventDefault();
      moveBar(menu, event.key === "ArrowRight" ? 1 : -1);
    }
  });
  list.addEventListener("keydown", (event) => {
    const enabled = items(menu);
    const at = enabled.indexOf(document.activeElement);
    const go = (i) => enabled[(i + enabled.length) % enabled.length]?.focus();
    switch (event.key) {
      case "ArrowDown": go(at + 1); break;
      case "ArrowUp": go(at - 1); break;
      case "Home": go(0); break;
      case "End": go(enabled.length - 1); break;
      case "ArrowRight": case "ArrowLeft": moveBar(menu, event.key === "ArrowRight" ? 1 : -1); break;
      case "Escape": closeAll(); button.focus(); break;
      case "Tab": closeAll(); return;
      default: return;
    }
    event.preventDefault();
  });
  const wrapper = element("div", { className: "menu-wrapper" }, button, list);
  bar.append(wrapper);
  menus.push(menu);
  return menu.items;
}

export function setEnabled(item, enabled) {
  item.setAttribute("aria-disabled", enabled ? "false" : "true");
}

document.addEventListener("pointerdown", (event) => {
  if (!bar.contains(event.target)) closeAll();
});
