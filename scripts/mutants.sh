#!/usr/bin/env bash
# The mutation sampler (scripts/mutants.py): bash scripts/mutants.sh FOLDER [-n N] [--seed S]
# [--timeout SECONDS] [--list]. A developer's tool, not part of the test command: it builds a
# clean copy of HEAD under build/mutants and mutates that, never the working tree.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutants.py "$@"
