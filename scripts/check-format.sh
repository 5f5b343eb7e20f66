#!/usr/bin/env bash
# Lists every C++ file that clang-format would change; fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tools tests fuzz bench -name '*.cpp' -o -name '*.h')
bad=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "format: $f" >&2
    bad=1
  fi
done
exit $bad
