#!/usr/bin/env bash
# Fails when a source of the project includes a header by a path that climbs
# out of its folder ("../") or names another folder's src/ directly: such an
# include would reach past the include directories that enforce the layering.
set -euo pipefail
root="${1:-$(dirname "${BASH_SOURCE[0]}")/../..}"
cd "$root"
found="$(git ls-files -- '*.cpp' '*.hpp' '*.h' 2>/dev/null ||
  find . -name build -prune -o \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) -print)"
bad="$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*\.\./|[^"]*/src/)' $found || true)"
if [ -n "$bad" ]; then
  echo "include lines against the layering:"
  echo "$bad"
  exit 1
fi
echo "include lines: ok"
