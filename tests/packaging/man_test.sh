#!/usr/bin/env bash
# The manual pages: every page, made or written, renders with no warning from man, and tarvex-cli(1)
# lists each route that tarvex-cli knows on a line of its own, as --help does.
# Usage: man_test.sh TARVEX_CLI MADE_PAGES_DIR WRITTEN_PAGES_DIR
set -euo pipefail
cli=$1 made=$2 written=$3
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

pages=("$made"/*.1 "$written"/*.[15])
[ "${#pages[@]}" -eq 5 ] || fail "expected 5 manual pages, found ${#pages[@]}: ${pages[*]}"
for page in "${pages[@]}"; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) ||
    fail "man cannot render $page"
  [ -z "$warnings" ] || fail "$page: $warnings"
  grep -q '^\.SH NAME' "$page" && grep -A1 '^\.SH NAME' "$page" | grep ' \\- ' >/dev/null ||
    fail "$page has no NAME line \"name \\- what it is\""
done

# The routes as tarvex-cli names them when it refuses one: "...; the routes are a, b or c (-t ...".
routes=$({ "$cli" -t no-such-route x 2>&1 || true; } | sed -n 's/.*the routes are \(.*\) (-t.*/\1/p' | sed 's/,/ /g; s/ or / /')
[ -n "$routes" ] || fail "tarvex-cli names no route"
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=100 man -l "$made/tarvex-cli.1" 2>/dev/null)
for route in $routes; do
  description=$("$cli" --help | sed -n "s/^ *$route  *\(.*\)/\1/p")
  grep -qE "^ +$route +$(sed 's/[()]/\\&/g' <<<"$description")\$" <<<"$rendered" ||
    fail "tarvex-cli(1) does not list the route $route ($description) on a line of its own"
done

if [ "$failures" -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "${#pages[@]} manual pages render; tarvex-cli(1) lists the routes $routes"
