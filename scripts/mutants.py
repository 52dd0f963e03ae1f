#!/usr/bin/env python3
"""Mutation sampler: how many small faults in a folder's code its tests catch.

For a source folder (model, builder, loader, radar, link, app, tools, platform or
directplay) it lists the places where a mutation applies, picks N of them at random with a
seed, applies each in turn to a clean copy of HEAD's tree (under build/mutants/tree,
brought up to HEAD at each run), rebuilds that folder's tests incrementally, runs them with a time limit, and
prints each mutant's fate: killed (a test failed or timed out), survived (every test passed),
or did not compile. The survivors' diffs follow the summary. The same seed over the same
source picks the same mutants, so scores before and after a change of the tests compare.

Mutations: a comparison flipped (== and !=) or moved across its bound (< and <=, > and >=),
&& and || swapped, a condition negated, an integer constant changed by one, a statement
removed, a returned value replaced by its type's default.
"""

import argparse
import difflib
import io
import os
import random
import re
import signal
import subprocess
import sys
import tarfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["model", "builder", "loader", "radar", "link", "app", "tools", "platform",
           "directplay"]

SWAPS = {" < ": " <= ", " <= ": " < ", " > ": " >= ", " >= ": " > ", " == ": " != ",
         " != ": " == ", " && ": " || ", " || ": " && "}
SWAP_RE = re.compile(r" (<=|>=|==|!=|&&|\|\||<|>) ")
INT_RE = re.compile(r"(?<![\w.%])(\d+)(?![\w.'])")
STATEMENT_RE = re.compile(r"^(\s*)([A-Za-z_][\w:.\->\[\]]*\s*(\(.*\)|[-+*/|&]?=\s*.+|\+\+|--));\s*$")
DECLARATION_RE = re.compile(
    r"^\s*(const\s|constexpr\s|static\s|auto\s|std::|return\b|using\b|int\s|double\s|bool\s|"
    r"char\s|float\s|unsigned\s|long\s|short\s|void\s|[A-Z]\w*(<.*>)?\s+\w+[\s({=;])")
RETURN_RE = re.compile(r"^(\s*)return (.+);\s*$")
CONDITION_RE = re.compile(r"\b(if|while) \(")


class Mutant:
    def __init__(self, path, line, kind, before, after):
        self.path, self.line, self.kind, self.before, self.after = path, line, kind, before, after

    def where(self):
        return f"{self.path}:{self.line + 1}"


def code_part(text):
    """The line without a trailing // comment, and whether it is code at all."""
    stripped = text.strip()
    if not stripped or stripped.startswith(("//", "#", "*", "/*")):
        return None
    cut = text.find("//")
    return text if cut < 0 else text[:cut]


def in_string(text, at):
    before = text[:at].replace("\\\\", "").replace('\\"', "").replace("\\'", "")
    return before.count('"') % 2 == 1 or before.count("'") % 2 == 1


def closing_paren(text, open_at):
    depth = 0
    for i in range(open_at, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def mutants_of(path, lines):
    found = []
    for n, full in enumerate(lines):
        text = code_part(full)
        if text is None or "static_assert" in text or "template" in text:
            continue
        for match in SWAP_RE.finditer(text):
            if in_string(text, match.start()):
                continue
            op = match.group(0)
            after = full[:match.start()] + SWAPS[op] + full[match.end():]
            kind = "&& <-> ||" if op.strip() in ("&&", "||") else "comparison"
            found.append(Mutant(path, n, kind, full, after))
        for match in CONDITION_RE.finditer(text):
            open_at = match.end() - 1
            close = closing_paren(text, open_at)
            if close < 0 or in_string(text, open_at):
                continue
            inner = full[open_at + 1:close]
            if inner.startswith(("const ", "auto ")) or ";" in inner:
                continue  # a declaration in the condition
            after = full[:open_at + 1] + "!(" + inner + ")" + full[close:]
            found.append(Mutant(path, n, "condition negated", full, after))
        for match in INT_RE.finditer(text):
            if in_string(text, match.start()) or "[" in text[:match.start()].split("=")[0][-3:]:
                continue
            value = int(match.group(1))
            for changed in (value + 1, value - 1):
                if changed < 0:
                    continue
                after = full[:match.start()] + str(changed) + full[match.end():]
                found.append(Mutant(path, n, "constant +-1", full, after))
        statement = STATEMENT_RE.match(text)
        if statement and not DECLARATION_RE.match(text) and "{" not in text and "}" not in text:
            found.append(Mutant(path, n, "statement removed", full,
                                statement.group(1) + "(void)0;  // removed\n"))
        returned = RETURN_RE.match(text)
        if returned and returned.group(2) not in ("{}", "true", "false", "0", "nullptr"):
            found.append(Mutant(path, n, "return value removed", full,
                                returned.group(1) + "return {};\n"))
    return found


def all_mutants(folder, root):
    mutants = []
    base = os.path.join(root, folder)
    for directory, _, files in sorted(os.walk(base)):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.relpath(os.path.join(directory, name), root)
            with open(os.path.join(root, path), encoding="latin-1") as f:
                mutants.extend(mutants_of(path, f.readlines()))
    return mutants


def run(command, cwd, timeout):
    """Runs a command in a process group of its own; at the time limit the whole group goes
    (a mutant that makes a test spin must not outlive its ctest)."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, errors="replace",
                               start_new_session=True)
    try:
        out, _ = process.communicate(timeout=timeout)
        return process.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.communicate()
        return None, ""


def prepare(copy, rev):
    """The copy made the tree of `rev` again (only changed files are written, so the build stays
    incremental), and configured."""
    archive = subprocess.run(["git", "archive", rev], cwd=ROOT, stdout=subprocess.PIPE,
                             check=True).stdout
    with tarfile.open(fileobj=io.BytesIO(archive)) as tar:
        for member in tar.getmembers():
            if not member.isfile():
                continue
            data = tar.extractfile(member).read()
            target = os.path.join(copy, member.name)
            try:
                with open(target, "rb") as f:
                    if f.read() == data:
                        continue
            except OSError:
                os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(data)
            os.chmod(target, member.mode)
    subprocess.run(["cmake", "--preset", "dev"], cwd=copy, check=True,
                   stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folder", choices=FOLDERS)
    parser.add_argument("-n", type=int, default=30, help="mutants to try (default 30)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--timeout", type=int, default=600,
                        help="seconds for a rebuild, and again for the tests (default 600)")
    parser.add_argument("--copy", default=os.path.join(ROOT, "build", "mutants", "tree"),
                        help="where the clean copy of the tree lives")
    parser.add_argument("--rev", default="HEAD",
                        help="the commit whose tree and tests are measured (default HEAD)")
    parser.add_argument("--list", action="store_true", help="only list the picked mutants")
    args = parser.parse_args()

    copy = os.path.abspath(args.copy)
    if not args.list:
        prepare(copy, args.rev)
    # The places as the measured tree has them (the working tree's for a list).
    candidates = all_mutants(args.folder, ROOT if args.list else copy)
    picked = random.Random(args.seed).sample(candidates, min(args.n, len(candidates)))
    print(f"{args.folder}: {len(candidates)} places, {len(picked)} mutants (seed {args.seed})")
    if args.list:
        for m in picked:
            shown = m.before if m.kind == "statement removed" else m.after
            print(f"  {m.where():40} {m.kind:22} {shown.strip()}")
        return 0

    tests = os.path.join("build", "dev", "tests", args.folder)
    target = f"tests/{args.folder}/all"
    code, out = run(["cmake", "--build", "--preset", "dev", "--target", target], copy,
                    args.timeout * 3)
    if code != 0:
        print(out[-3000:])
        print("the clean copy does not build")
        return 2
    ctest = ["ctest", "--test-dir", tests, "-E", "soak", "-j2", "--timeout",
             str(args.timeout)]
    code, out = run(ctest, copy, args.timeout)
    if code != 0:
        print(out[-3000:])
        print("the clean copy's tests do not pass")
        return 2

    fates = {"killed": 0, "survived": 0, "did not compile": 0}
    survivors = []
    for i, m in enumerate(picked, 1):
        path = os.path.join(copy, m.path)
        with open(path, encoding="latin-1") as f:
            original = f.readlines()
        mutated = list(original)
        mutated[m.line] = m.after
        with open(path, "w", encoding="latin-1") as f:
            f.writelines(mutated)
        started = time.time()
        try:
            code, _ = run(["cmake", "--build", "--preset", "dev", "--target", target], copy,
                          args.timeout)
            if code != 0:
                fate = "did not compile"
            else:
                # ctest stops a test at the time limit itself; the group goes if ctest hangs.
                code, _ = run(ctest, copy, args.timeout * 2)
                fate = "survived" if code == 0 else "killed"  # a time-out kills too
        finally:
            with open(path, "w", encoding="latin-1") as f:
                f.writelines(original)
        fates[fate] += 1
        if fate == "survived":
            survivors.append(m)
        print(f"[{i:2}/{len(picked)}] {fate:15} {m.where():40} {m.kind:22} "
              f"{time.time() - started:5.0f} s", flush=True)
    # The copy as it was, for the next run.
    run(["cmake", "--build", "--preset", "dev", "--target", target], copy, args.timeout * 3)

    judged = fates["killed"] + fates["survived"]
    score = 100.0 * fates["killed"] / judged if judged else 0.0
    print(f"\n{args.folder}: killed {fates['killed']}, survived {fates['survived']}, "
          f"did not compile {fates['did not compile']}; score {score:.0f} % "
          f"(killed of those that compiled)")
    for m in survivors:
        print(f"\nsurvived: {m.where()} ({m.kind})")
        sys.stdout.writelines(difflib.unified_diff([m.before], [m.after], m.path, m.path, n=0))
    return 0


if __name__ == "__main__":
    sys.exit(main())
