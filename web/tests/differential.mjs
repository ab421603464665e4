// The web edition's differential: ombrix-cli compiled for node against the native tool on
// random terms and projects, under both decimal separators. Every output must be the same:
// values and error texts ("eval", "eval --display", "eval --explain"), message boxes, canvas
// calls, the lines a run steps through and its step counts ("run --trace --lines", breakpoints
// and mouse clicks), exit codes.
//
//   node web/tests/differential.mjs NATIVE_CLI WEB_CLI CASES_TOOL [TERMS [PROJECTS]]
//
// CASES_TOOL is ombrix-web-cases (tests/web), which writes the cases.
import { execFile } from "node:child_process";
import { mkdtempSync, readFileSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const [nativeCli, webCli, casesTool, termCount = "10000", projectCount = "300"] =
  process.argv.slice(2);
if (!casesTool) {
  console.error("Aufruf: node differential.mjs NATIVE_CLI WEB_CLI CASES_TOOL [TERME [PROJEKTE]]");
  process.exit(2);
}

const kTermsPerCall = 250;
const kMaxSteps = "3000";
const kParallel = 2;

function run(command, args) {
  return new Promise((resolve) => {
    execFile(command, args, { maxBuffer: 1 << 30, timeout: 600000, encoding: "utf8" },
      (error, stdout, stderr) => {
        resolve({ status: error ? (error.code ?? String(error.signal)) : 0, stdout, stderr });
      });
  });
}

// Both tools with the same arguments; null when they agree, else what differs.
async function compare(args) {
  const [native, web] = await Promise.all([run(nativeCli, args), run("node", [webCli, ...args])]);
  for (const part of ["status", "stdout", "stderr"]) {
    if (native[part] === web[part]) continue;
    const a = String(native[part]).split("\n");
    const b = String(web[part]).split("\n");
    let line = 0;
    while (line < a.length && a[line] === b[line]) ++line;
    return { part, line, native: a[line], web: b[line] };
  }
  return null;
}

async function inParallel(jobs) {
  const failures = [];
  let next = 0;
  const worker = async () => {
    while (next < jobs.length) {
      const job = jobs[next++];
      const difference = await compare(job.args);
      if (difference) failures.push({ ...job, difference });
    }
  };
  await Promise.all(Array.from({ length: kParallel }, worker));
  return failures;
}

const dir = mkdtempSync(join(tmpdir(), "ombrix-web-differential-"));
try {
  const made = await run(casesTool, [dir, termCount, projectCount, "20240611"]);
  if (made.status !== 0) throw new Error(`${casesTool}: ${made.stderr}`);
  const definitions = readFileSync(join(dir, "definitions.txt"), "utf8").split("\n").filter((w) => w);
  const terms = readFileSync(join(dir, "terms.txt"), "utf8").split("\n").filter((t) => t);

  const jobs = [];
  for (const separator of [",", "."]) {
    for (let first = 0; first < terms.length; first += kTermsPerCall) {
      const chunk = terms.slice(first, first + kTermsPerCall);
      for (const mode of [[], ["--display"]]) {
        jobs.push({
          what: `eval ${separator} ${mode.join(" ")} terms ${first}..`,
          args: ["eval", "--decimal-separator", separator, ...definitions, ...mode, "--", ...chunk],
        });
      }
    }
    // The rewriting of every tenth term.
    const explained = terms.filter((_, k) => k % 10 === 0);
    for (let first = 0; first < explained.length; first += kTermsPerCall) {
      jobs.push({
        what: `eval --explain ${separator} terms ${first * 10}..`,
        args: ["eval", "--decimal-separator", separator, ...definitions, "--explain", "--",
          ...explained.slice(first, first + kTermsPerCall)],
      });
    }
  }
  const projects = readdirSync(dir).filter((f) => f.endsWith(".args")).sort();
  for (const argsFile of projects) {
    const name = argsFile.slice(0, -".args".length);
    const extra = readFileSync(join(dir, argsFile), "utf8").split("\n").filter((w) => w);
    for (const [separator, suffix] of [[",", "comma"], [".", "point"]]) {
      const file = join(dir, `${name}-${suffix}.omp`);
      jobs.push({
        what: `run ${separator} ${name}`,
        args: ["run", "--decimal-separator", separator, "--trace", "--lines", "--max-steps",
          kMaxSteps, ...extra, file],
      });
    }
  }

  const failures = await inParallel(jobs);
  for (const f of failures.slice(0, 10)) {
    console.error(`VERSCHIEDEN: ${f.what}: ${f.difference.part} Zeile ${f.difference.line + 1}\n` +
      `  nativ: ${f.difference.native}\n  web:   ${f.difference.web}`);
  }
  console.log(`${terms.length} Terme und ${projects.length} Projekte, je unter "," und ".": ` +
    `${jobs.length} Aufrufe, ${failures.length} verschieden`);
  process.exitCode = failures.length === 0 ? 0 : 1;
} finally {
  if (process.exitCode === 0) rmSync(dir, { recursive: true, force: true });
  else console.error(`Die Fälle liegen in ${dir}`);
}
