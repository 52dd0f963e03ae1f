#!/usr/bin/env bash
# Installs what is missing, builds Tarvolo and starts it in a fresh demo working directory.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --target tarvolo

demo_dir="$PWD/demo/work"
mkdir -p "$demo_dir"
cd "$demo_dir"
echo "Tarvolo runs in $demo_dir (its settings and database files are written there)."
exec "$OLDPWD/build/release/app/tarvolo"
