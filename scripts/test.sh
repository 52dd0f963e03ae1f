#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the whole suite built with
# the address and undefined-behaviour sanitizers (every test, every child process judged by
# them), and a short pass of every fuzz target (FUZZ_SECONDS each, default 25). The plain
# debug build (preset dev) runs the same tests without the sanitizers' checks, so the test
# command leaves it to developers: `ctest --preset dev`.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
start=$SECONDS
cmake --preset asan-ubsan
cmake --build --preset asan-ubsan
ctest --preset asan-ubsan
echo "== sanitizer suite: $((SECONDS - start)) s"

start=$SECONDS
bash fuzz/run.sh "${FUZZ_SECONDS:-25}"
echo "== fuzz pass: $((SECONDS - start)) s"

# The Debian package passes lintian, where lintian is installed (scripts/package.sh installs
# it; a fresh machine's test run does not spend the release build on it).
if command -v lintian >/dev/null; then
    start=$SECONDS
    bash scripts/package.sh
    echo "== package and lintian: $((SECONDS - start)) s"
fi
