// Builds the browser edition into build/web from the engine (build/web-engine), the page
// (web/page), the examples, the icon, the start picture and the language guide: the page's
// modules bundled into app.js, the guide's Markdown rendered, the service worker told
// every file. Static files only; the whole edition must stay within 2 MB compressed.
//
//   node web/build.mjs
import { createHash } from "node:crypto";
import { copyFileSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from "node:fs";
import { basename, join, relative } from "node:path";
import { fileURLToPath } from "node:url";
import { gzipSync } from "node:zlib";
import { build } from "esbuild";
import MarkdownIt from "markdown-it";

const root = fileURLToPath(new URL("..", import.meta.url));
const out = join(root, "build/web");
const kMaxCompressed = 2 * 1024 * 1024;

rmSync(out, { recursive: true, force: true });
mkdirSync(join(out, "examples"), { recursive: true });
const copy = (from, to = basename(from)) => copyFileSync(join(root, from), join(out, to));

await build({
  entryPoints: [join(root, "web/page/src/main.js")],
  bundle: true,
  minify: true,
  format: "iife",
  target: ["es2020", "chrome90", "firefox90", "safari15"],
  legalComments: "eof",
  outfile: join(out, "app.js"),
  logLevel: "warning",
});
for (const file of ["index.html", "ombrix.css", "worker.js", "manifest.webmanifest"]) copy(`web/page/${file}`);
copy("build/web-engine/web/ombrix-engine.js");
copy("build/web-engine/web/ombrix-engine.wasm");
copy("desktop/ombrix.svg");
copy("desktop/icons/256x256/ombrix.png", "ombrix-256.png");
copy("desktop/icons/128x128/ombrix.png", "ombrix-128.png");
copy("ui/resources/start.png");
copy("docs/farbkreis.png");

// The examples and their titles (examples/titel.txt: "file = title", in menu order).
const examples = readFileSync(join(root, "examples/titel.txt"), "utf8").split("\n")
  .filter((line) => line.trim() && !line.startsWith("#"))
  .map((line) => {
    const [file, ...title] = line.split("=");
    return { file: file.trim(), title: title.join("=").trim() };
  });
for (const example of examples) {
  copy(`examples/${example.file}`, `examples/${example.file}`);
  try {
    copy(`examples/${example.file}.regler`, `examples/${example.file}.regler`);
    example.regler = true;
  } catch {
    // no controls
  }
}
writeFileSync(join(out, "examples/index.json"), JSON.stringify(examples));

// The language guide: the desktop's Markdown without its leading comment, each heading
// with an id for the contents.
const markdown = new MarkdownIt({ html: false, linkify: false });
const slugs = new Set();
markdown.renderer.rules.heading_open = (tokens, index, options, env, self) => {
  const text = tokens[index + 1].content;
  let slug = text.toLowerCase().replace(/[^a-z0-9äöüß]+/g, "-").replace(/^-|-$/g, "") || "abschnitt";
  while (slugs.has(slug)) slug += "-";
  slugs.add(slug);
  tokens[index].attrSet("id", slug);
  return self.renderToken(tokens, index, options);
};
const guide = readFileSync(join(root, "docs/sprachuebersicht.md"), "utf8").replace(/^<!--[\s\S]*?-->\s*/, "");
writeFileSync(join(out, "sprachuebersicht.html"), markdown.render(guide));

// The service worker keeps every file; its version changes with any of them.
function files(dir) {
  return readdirSync(dir).flatMap((name) => {
    const path = join(dir, name);
    return statSync(path).isDirectory() ? files(path) : [path];
  });
}
const kept = files(out).map((path) => relative(out, path)).sort();
const version = createHash("sha256");
for (const file of kept) version.update(file).update(readFileSync(join(out, file)));
writeFileSync(join(out, "sw.js"),
  `self.OMBRIX_FILES = ${JSON.stringify(["./", ...kept])};\n` +
  `self.OMBRIX_VERSION = "${version.digest("hex").slice(0, 16)}";\n` +
  readFileSync(join(root, "web/page/sw.js"), "utf8"));

// The whole edition, each file compressed as a server sends it.
let plain = 0;
let compressed = 0;
for (const path of files(out)) {
  const bytes = readFileSync(path);
  plain += bytes.length;
  compressed += gzipSync(bytes, { level: 9 }).length;
}
const kb = (n) => `${(n / 1024).toFixed(0)} KB`;
console.log(`build/web: ${files(out).length} Dateien, ${kb(plain)}, komprimiert ${kb(compressed)}`);
if (compressed > kMaxCompressed) {
  console.error(`Die Ausgabe ist komprimiert größer als ${kb(kMaxCompressed)}.`);
  process.exit(1);
}
