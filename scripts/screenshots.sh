#!/usr/bin/env bash
# Remakes the README's pictures in docs/screens from the running program: the end-to-end test
# drives the real windows under Xvfb (the X11 platform, real fonts and style) and saves each
# window as it appears.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
extra=()
for package in xvfb xauth qt6-qpa-plugins fonts-dejavu-core; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || extra+=("$package")
done
if [ ${#extra[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${extra[@]}"
fi
cmake --preset dev >/dev/null
cmake --build --preset dev --target end_to_end_tests simhost
mkdir -p docs/screens
xvfb-run -a -s "-screen 0 1400x1000x24" env QT_QPA_PLATFORM=xcb TARVOLO_SCREENSHOTS="$PWD/docs/screens" \
    build/dev/tests/app/end_to_end_tests
ls -1 docs/screens
