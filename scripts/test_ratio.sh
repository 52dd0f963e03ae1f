#!/usr/bin/env bash
# Lines of tests against lines of code (.cpp and .h), per folder and in all, and the test files
# over 400 lines: bash scripts/test_ratio.sh
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null | xargs -0 cat 2>/dev/null | wc -l; }
folders=(app builder link loader model platform radar tools directplay)
printf '%-12s %7s %7s %6s\n' folder code tests ratio
for f in "${folders[@]}"; do
    c=$(count "$f"); t=$(count "tests/$f")
    printf '%-12s %7d %7d %5d%%\n' "$f" "$c" "$t" $((100 * t / c))
done
code=$(count "${folders[@]}"); tests=$(count tests)
printf '%-12s %7s %7d\n' support '' "$(count tests/support)"
printf '%-12s %7d %7d %5d%%\n' all "$code" "$tests" $((100 * tests / code))
echo "test files over 400 lines:"
find tests \( -name '*.cpp' -o -name '*.h' \) -exec wc -l {} + | awk '$2 != "total" && $1 > 400 {print "  " $2 " " $1}'
