#!/usr/bin/env python3
"""Which tests exercise nothing the others of their folder do not: a developer's tool.

Runs every test of the coverage build (cmake --preset coverage && cmake --build --preset
coverage) on its own, each with its own gcov data (the programs a test starts, simhost and
tarvolo-tool, write theirs beside it), and reads which lines of its folder's code it ran: tests
under tests/FOLDER are judged against FOLDER/. For each folder it prints every test with the
lines only it runs, then a smallest set of tests found greedily that runs every line the whole
folder's tests run; the tests outside that set run no line the set does not. Running the same
lines is not checking the same things: a row is a place to look, not a verdict.

    python3 scripts/overlap.py [--build build/coverage] [--folder F ...] [-j 2] [--keep DIR]
"""

import argparse
import concurrent.futures
import json
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["model", "builder", "loader", "radar", "link", "app", "tools", "platform",
           "directplay"]
LEFT_OUT = ("soak_", "directplay_capture")  # minutes of churn, or a shell script of its own


def list_tests(build):
    shown = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                           check=True, capture_output=True, text=True).stdout
    tests = []
    for test in json.loads(shown)["tests"]:
        name = test["name"]
        command = test.get("command")
        if not command or name.startswith(LEFT_OUT):
            continue
        properties = {p["name"]: p["value"] for p in test.get("properties", [])}
        relative = os.path.relpath(command[0], os.path.join(build, "tests"))
        folder = relative.split(os.sep)[0]
        if folder not in FOLDERS:
            continue
        row = {"name": name, "command": command, "folder": folder,
               "cwd": properties.get("WORKING_DIRECTORY", os.path.dirname(command[0])),
               "env": properties.get("ENVIRONMENT", [])}
        # A QtTest program is one test to CTest: here, one a test function.
        functions = [] if any(a.startswith("--gtest") for a in command) else qt_functions(row)
        for function in functions:
            tests.append(dict(row, name=f"{name}::{function}", command=command + [function]))
        if not functions:
            tests.append(row)
    return tests


def qt_functions(test):
    try:
        listed = subprocess.run(test["command"] + ["-functions"], cwd=test["cwd"],
                                env=dict(os.environ, QT_QPA_PLATFORM="offscreen"),
                                capture_output=True, text=True, timeout=60).stdout
    except (OSError, subprocess.TimeoutExpired):
        return []
    return [line.strip()[:-2] for line in listed.splitlines() if line.strip().endswith("()")]


def run(test, prefix, timeout):
    env = dict(os.environ, GCOV_PREFIX=prefix, GCOV_PREFIX_STRIP="0",
               QT_QPA_PLATFORM="offscreen")
    for pair in test["env"]:
        key, _, value = pair.partition("=")
        env[key] = value
    try:
        done = subprocess.run(test["command"], cwd=test["cwd"], env=env, timeout=timeout,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              start_new_session=True)
        return done.returncode == 0
    except subprocess.TimeoutExpired:
        return False


def covered(prefix, folder):
    """The lines of FOLDER/ that ran under `prefix`: {(file, line)}."""
    source = os.path.join(ROOT, folder) + os.sep
    lines = set()
    data = prefix + os.path.abspath(os.path.join(ROOT, "build"))
    by_dir = {}
    for where, _, files in os.walk(data):
        for name in files:
            if name.endswith(".gcda"):
                by_dir.setdefault(where, []).append(name)
    for where, names in by_dir.items():
        real = where[len(prefix):]
        for name in names:
            note = os.path.join(real, name[:-5] + ".gcno")
            if os.path.exists(note) and not os.path.exists(os.path.join(where, name[:-5] + ".gcno")):
                os.symlink(note, os.path.join(where, name[:-5] + ".gcno"))
        out = subprocess.run(["gcov", "--json-format", "--stdout", "-o", where] +
                             [os.path.join(where, n) for n in names],
                             cwd=where, capture_output=True, text=True).stdout
        for document in out.splitlines():
            document = document.strip()
            if not document.startswith("{"):
                continue
            for entry in json.loads(document).get("files", []):
                path = os.path.normpath(os.path.join(ROOT, entry["file"]))
                if not path.startswith(source):
                    continue
                for line in entry["lines"]:
                    if line["count"] > 0:
                        lines.add((os.path.relpath(path, ROOT), line["line_number"]))
    return lines


def grouped(runs):
    """The rows of a data-driven test as one: they run one path with other values."""
    groups = {}
    for name, lines, ok in runs:
        parts = name.split("/")
        key = parts[1] if len(parts) == 3 else name  # Instance/Suite.Test/Row
        have = groups.setdefault(key, [set(), True])
        have[0] |= lines
        have[1] = have[1] and ok
    return [(name, lines, ok) for name, (lines, ok) in groups.items()]


def report(folder, runs):
    runs = grouped(runs)
    every = set().union(*(lines for _, lines, _ in runs)) if runs else set()
    print(f"\n{folder}: {len(runs)} tests run {len(every)} lines of {folder}/")
    for name, lines, ok in sorted(runs, key=lambda r: r[0]):
        others = set().union(*(l for n, l, _ in runs if n != name))
        only = len(lines - others)
        print(f"  {only:5d} only here  {len(lines):6d} run  {name}{'' if ok else '  (failed)'}")
    # Greedily, the test that adds most lines, until every line is run.
    chosen, have = [], set()
    left = {name: lines for name, lines, _ in runs}
    while have != every and left:
        name = max(left, key=lambda n: (len(left[n] - have), -len(left[n])))
        if not left[name] - have:
            break
        chosen.append(name)
        have |= left.pop(name)
    print(f"  {len(chosen)} tests run every line; these run none the others do not:")
    for name in sorted(left):
        print(f"    {name}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "coverage"))
    parser.add_argument("--folder", action="append", choices=FOLDERS)
    parser.add_argument("-j", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=300)
    parser.add_argument("--keep", help="keep each test's gcov data under this folder")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    tests = [t for t in list_tests(build) if not args.folder or t["folder"] in args.folder]
    if not tests:
        sys.exit("no tests: build the coverage preset first")
    work = args.keep or tempfile.mkdtemp(prefix="overlap-")
    os.makedirs(work, exist_ok=True)

    def one(index_test):
        index, test = index_test
        prefix = os.path.join(work, str(index))
        shutil.rmtree(prefix, ignore_errors=True)
        ok = run(test, prefix, args.timeout)
        lines = covered(prefix, test["folder"])
        print(f"[{index + 1}/{len(tests)}] {test['name']}: {len(lines)} lines"
              f"{'' if ok else ' (failed)'}", file=sys.stderr, flush=True)
        return test["folder"], (test["name"], lines, ok)

    results = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.j) as pool:
        for folder, row in pool.map(one, enumerate(tests)):
            results.setdefault(folder, []).append(row)
    for folder in FOLDERS:
        if folder in results:
            report(folder, results[folder])
    if not args.keep:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
