#!/usr/bin/env python3
"""Runs random projects through two builds of ombrix-cli and compares what they print.

    scripts/differential-run.py OLD_CLI NEW_CLI [--count N] [--seed S] [--keep DIR]

Each project has random variables, user functions, a main program and a mouse-click
program: assignments over variables and built-ins (with errors and faults among them),
blocks (Wenn/Andernfalls, Solange, Wiederhole, Für, some left open or closed twice) and
every drawing command. Each is run with `run --trace` and random step bounds, start
values and clicks, half of them with `--lines` and breakpoints (a run that nothing
observes line by line takes the interpreter's fast path); stdout, stderr and the exit
status must be the same byte for byte. Exit status 1 and the first differing project when they are not.
"""
import argparse
import concurrent.futures
import os
import random
import subprocess
import sys
import tempfile

SEP = b"\xa7"
# The built-in functions in table order, with their argument rules.
BUILTINS = [
    ("MausPos", 0), ("Betrag", 0), ("Wurzel", 0), ("Sin", 1), ("Cos", 1), ("Tan", 1),
    ("ASin", 1), ("ACos", 1), ("ATan", 1), ("Exp", 1), ("Ln", 1), ("Lg", 1), ("Arc", 16),
    ("E", 1), ("Re", 0), ("Im", 0), ("Konj", 0), ("DeltaRe", 0), ("DeltaIm", 0),
    ("ReMin", 0), ("ReMax", 0), ("ImMin", 0), ("ImMax", 0),
]

# Those that take any argument.
SAFE_BUILTINS = [(name, 0) for name in ("Betrag", "Re", "Im", "Konj", "Exp", "MausPos",
                                        "ReMin", "DeltaRe", "Wurzel")]


def field(text):
    return text.encode("cp1252") + SEP


def number(rng):
    choice = rng.random()
    if choice < 0.5:
        return str(rng.randint(0, 9))
    if choice < 0.7:
        return f"{rng.randint(0, 99)}/{rng.randint(1, 20)}"
    if choice < 0.8:
        return rng.choice(["1e-13", "2e-13", "1e-15", "5e-14", "1e15", "999999999999999",
                           "1e99", "0,5", "3,25", "0,001"])
    if choice < 0.9:
        return rng.choice(["i", "e", "Pi", "2*i", "(1+i)"])
    return f"{rng.randint(0, 399)}"


class Maker:
    def __init__(self, rng, variables, functions):
        self.rng = rng
        self.variables = variables
        self.functions = functions

    def operand(self, depth):
        rng = self.rng
        choice = rng.random()
        if choice < 0.6 or depth > 1:
            return rng.choice(self.variables) if rng.random() < 0.6 else number(rng)
        if choice < 0.75:
            name, _ = rng.choice(BUILTINS if rng.random() < 0.3 else SAFE_BUILTINS)
            if name in ("MausPos", "DeltaRe", "DeltaIm", "ReMin", "ReMax", "ImMin", "ImMax"):
                return f"{name}()"
            return f"{name}({self.term(depth + 1)})"
        if choice < 0.78 and self.functions:
            return f"{rng.choice(self.functions)}({self.term(depth + 1)})"
        if choice < 0.92:
            return f"({self.term(depth + 1)})"
        return f"{self.operand(depth + 1)}^{rng.randint(-2, 4)}"

    def term(self, depth=0):
        rng = self.rng
        parts = [self.operand(depth)]
        for _ in range(rng.choice([0, 1, 1, 2, 3])):
            parts.append(rng.choice(["+", "-", "*"] * 6 + ["/", "%", "&"]))
            parts.append(self.operand(depth))
        text = "".join(parts)
        if depth == 0 and rng.random() < 0.15:
            text = f"Re({text})" + rng.choice(["<", ">", "=", "#", "~"]) + number(rng)
        if rng.random() < 0.01:
            text += rng.choice([")", "(", "2i", "unbekannt"])
        return text

    def point(self):
        return self.term() if self.rng.random() < 0.5 else f"{number(self.rng)}+{number(self.rng)}*i"

    def command(self):
        rng = self.rng
        choice = rng.random()
        if choice < 0.3:
            return f"ZeichnePunkt({self.point()})"
        if choice < 0.45:
            return f"ZeichneLinie({self.point()};{self.point()})"
        if choice < 0.6:
            return f"ZeichneKreis({self.point()};{self.term()})"
        if choice < 0.65:
            return f"LöschePunkt({self.point()})"
        if choice < 0.7:
            return f"LöscheLinie({self.point()};{self.point()})"
        if choice < 0.75:
            return f"LöscheKreis({self.point()};{self.term()})"
        if choice < 0.8:
            return "LöscheBild"
        if choice < 0.87:
            a, b = sorted(rng.sample(range(-20, 21), 2))
            c, d = sorted(rng.sample(range(-20, 21), 2))
            if rng.random() < 0.1:
                a, b = b, a
            return f"SetzeSkala({a};{b};{c};{d})"
        if choice < 0.95:
            return "ZeichneSkala"
        if choice < 0.98:
            return ""
        return rng.choice(["SetzeFarbe(1)", "ZeichnePunkt", "ZeichnePunkt(1", "Hallo"])

    # Two loops over a small grid of points, a term iterated at each until it leaves a
    # circle, and something drawn: runs for thousands of steps.
    def drawing_loop(self, lines):
        rng = self.rng
        x, y, z, n = self.variables[0], self.variables[1], "z", self.variables[-1]
        lines += [f"SetzeSkala(-2;2;-2;2)", f"Für({y};0;{rng.randint(2, 12)};1)",
                  f"Für({x};0;{rng.randint(2, 12)};1)",
                  f"z:=ReMin()+{x}*{rng.randint(10, 40)}*DeltaRe()+(ImMax()-{y}*{rng.randint(10, 40)}*DeltaIm())*i",
                  f"{n}:=0", f"Solange((Betrag(z)<2)*({n}<{rng.randint(3, 30)}))",
                  f"z:=z^2+{rng.choice(['-4/5+156/1000*i', '1/4', 'i/2', '-1'])}", f"{n}:={n}+1",
                  "EndeSolange", f"Wenn({n}%2)", self.command(), "Andernfalls",
                  f"ZeichnePunkt(z)", "EndeWenn", "EndeFür", "EndeFür"]

    def block(self, lines, depth, budget):
        rng = self.rng
        while budget[0] > 0:
            budget[0] -= 1
            choice = rng.random()
            if choice < 0.4:
                lines.append(f"{rng.choice(self.variables)}:={self.term()}")
            elif choice < 0.6:
                lines.append(self.command())
            elif depth < 3 and choice < 0.7:
                lines.append(f"Wenn({self.term()})")
                self.block(lines, depth + 1, [rng.randint(1, 4)])
                if rng.random() < 0.5:
                    lines.append("Andernfalls")
                    self.block(lines, depth + 1, [rng.randint(1, 3)])
                if rng.random() < 0.97:
                    lines.append("EndeWenn")
            elif depth < 3 and choice < 0.78:
                counter = self.variables[-1]
                lines.append(f"{counter}:=0")
                lines.append(f"Solange({counter}<{rng.randint(0, 12)})")
                self.block(lines, depth + 1, [rng.randint(1, 4)])
                lines.append(f"{counter}:={counter}+1")
                if rng.random() < 0.97:
                    lines.append("EndeSolange")
            elif depth < 3 and choice < 0.86:
                lines.append(f"Wiederhole({rng.choice(['0', '1', '3', '-2', '2,5', str(rng.randint(0, 9))])})")
                self.block(lines, depth + 1, [rng.randint(1, 4)])
                if rng.random() < 0.97:
                    lines.append("EndeWiederhole")
            elif depth < 3 and choice < 0.94:
                start, end = rng.randint(-3, 3), rng.randint(-3, 6)
                step = rng.choice(["1", "-1", "2", "0,5", "0", "i"])
                lines.append(f"Für({rng.choice(self.variables)};{start};{end};{step})")
                self.block(lines, depth + 1, [rng.randint(1, 4)])
                if rng.random() < 0.97:
                    lines.append("EndeFür")
            else:
                lines.append(rng.choice(["EndeWenn", "EndeSolange", "Andernfalls", "",
                                         "EndeWiederhole", "EndeFür", "wenn(1)", "ENDEWENN"]))


def make_project(rng):
    names = ["x", "y", "z"] + ["k", "c", "Summe"][: rng.randint(0, 3)] + ["n"]
    functions = ["f", "g"][: rng.randint(0, 2)]
    maker = Maker(rng, names, functions)
    out = field(str(2 + len(names)))
    for name, value in (("i", ("0", "1")), ("e", ("271828182845905E-14", "0")),
                        ("Pi", ("314159265358979E-14", "0"))):
        out += field(name) + field(value[0]) + field(value[1])
    for name in names:
        out += field(name) + field(str(rng.randint(1, 5))) + field(str(rng.choice([0, 0, 1])))
    out += field("23") + field(str(22 + len(functions)))
    for name, rule in BUILTINS:
        out += field(name) + field(str(rule)) + field("")
    for name in functions:
        body = rng.choice(["#^2", "#*#+1", "Re(#)+#", "Konj(#)", "Betrag(#)", "#+" + names[0]])
        out += field(name) + field("0") + field(body)
    for budget in (rng.randint(3, 30), rng.randint(0, 8)):
        lines = []
        if budget > 8 and rng.random() < 0.4:
            maker.drawing_loop(lines)
        maker.block(lines, 0, [budget])
        out += field(str(len(lines)))
        for line in lines:
            out += field(line.replace(" ", ""))
    return out, names


def options(rng, names):
    args = ["run", "--decimal-separator", ",", "--trace"]
    args += ["--max-steps", str(rng.choice([50, 300, 2000, 20000]))]
    if rng.random() < 0.5:
        args.append("--lines")
        for _ in range(rng.randint(0, 2)):
            args += ["--break", str(rng.randint(1, 12))]
    for _ in range(rng.randint(0, 2)):
        args += ["--set", f"{rng.choice(names)}={rng.randint(-3, 3)}"]
    for _ in range(rng.randint(0, 3)):
        args += ["--click", f"{rng.randint(-10, 410)},{rng.randint(-10, 410)}"]
    return args


def run(cli, args, project):
    result = subprocess.run([cli] + args + [project], capture_output=True, timeout=120,
                            env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    return result.returncode, result.stdout, result.stderr


def one(case, old, new, folder):
    rng = random.Random(case)
    data, names = make_project(rng)
    path = os.path.join(folder, f"case{case}.omp")
    with open(path, "wb") as file:
        file.write(data)
    args = options(rng, names)
    before = run(old, args, path)
    after = run(new, args, path)
    return case, args, path, before == after, len(before[1]) + len(before[2]), before[0]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--keep")
    args = parser.parse_args()
    folder = args.keep or tempfile.mkdtemp(prefix="ombrix-differential-")
    os.makedirs(folder, exist_ok=True)
    cases = range(args.seed * 100000, args.seed * 100000 + args.count)
    differ = []
    total_bytes = 0
    statuses = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for case, cli_args, path, same, size, status in pool.map(
                lambda c: one(c, args.old, args.new, folder), cases):
            total_bytes += size
            statuses[status] = statuses.get(status, 0) + 1
            if not same:
                differ.append((case, cli_args, path))
    print(f"{args.count} projects, {total_bytes} bytes of output compared, exit statuses "
          f"{dict(sorted(statuses.items()))}, {len(differ)} differ")
    for case, cli_args, path in differ[:5]:
        print("differs:", path, " ".join(cli_args))
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
