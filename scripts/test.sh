#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the suite as built for
# use, the same suite under the address and undefined-behaviour sanitizers, and a short pass
# of every fuzz target (FUZZ_SECONDS each, default 25).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
start=$SECONDS
cmake --preset dev
cmake --build --preset dev
ctest --preset dev
echo "== suite: $((SECONDS - start)) s"

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
