#!/usr/bin/env bash
# Counts non-blank lines of code (src/, bench/, scripts/) and of tests
# (tests/, fuzz harnesses included; test data and fuzz corpora left out),
# and prints the ratio of test lines to code lines.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.cc' -o -name '*.c' -o -name '*.h' -o -name '*.hpp' \
    -o -name '*.sh' -o -name '*.py' -o -name '*.cmake' -o -name '*.lua' \) -print0 2>/dev/null |
    xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true
}

dirs=()
for d in src bench scripts; do [ -d "$d" ] && dirs+=("$d"); done
code=$(count "${dirs[@]}")
tests=$(count tests -not -path 'tests/data/*' -not -path '*/corpus*/*')
echo "code lines: $code"
echo "test lines: $tests"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio:      %.3f (tests / code)\n", c ? t / c : 0 }'
