#!/usr/bin/env bash
# tarvex-cli's bash completion, with bash-completion's helpers as an interactive shell loads them: what
# it offers after each option, against the program it completes for. The routes expected are those the
# program names when it refuses one, so the completion's reading of --help is checked against another
# source; the schemes and formats are the routes' two halves; the stages, which the completion keeps
# itself, are those the program names when it refuses one, so that the two cannot drift apart.
# Usage: completion_test.sh COMPLETION_FILE TARVEX_CLI
set -euo pipefail
completion=$1 cli=$2
helpers=/usr/share/bash-completion/bash_completion
if [ ! -f "$helpers" ]; then
  echo "SKIPPED: bash-completion is not installed (scripts/setup installs it)"
  exit 77
fi
bash -n "$completion"

routes=$({ "$cli" -t no-such-route x 2>&1 || true; } | sed -n 's/.*the routes are \(.*\) (-t.*/\1/p' | sed 's/,//g; s/ or / /')
[ -n "$routes" ] || { echo "FAIL: tarvex-cli names no route"; exit 1; }
sorted() { tr ' ' '\n' | sed '/^$/d' | LC_ALL=C sort -u | tr '\n' ' '; }
schemes=$(for r in $routes; do echo "${r%%-*}"; done | sorted)
formats=$(for r in $routes; do echo "${r#*-}"; done | sorted)
unicode_routes=$(tr ' ' '\n' <<<"$routes" | grep '^wylie-u' | sorted)
stages=$({ "$cli" --stage no-such-stage x 2>&1 || true; } | sed -n 's/.*the stages are \(.*\)$/\1/p' | sed 's/,//g; s/ or / /')
[ -n "$stages" ] || { echo "FAIL: tarvex-cli names no stage"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/texts" && touch "$work/texts/notes.txt" "$work/texts/other.kvt"

# Each case: the words typed before the one being completed, that word, and what is offered for it.
failures=0
while IFS='|' read -r before current expected; do
  # shellcheck disable=SC2086 # the words before are words
  offered=$(cd "$work" && bash -c '
    source "$1"; source "$2"; shift 2
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    complete -p tarvex-cli >/dev/null || exit 3
    _tarvex_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$helpers" "$completion" "$cli" $before "$current" | sorted)
  want=$(eval "echo $expected" | sorted)
  if [ "$offered" != "$want" ]; then
    echo "FAIL: tarvex-cli $before $current<TAB> offered [$offered], expected [$want]"
    failures=$((failures + 1))
  fi
done <<'CASES'
-t||$routes
--type|wylie-u|$unicode_routes
--from||$schemes
--to||$formats
-f||ekorlam korlam
--font|e|ekorlam
--stage||$stages
|--da|--data-dir
|--ke|--keep-cr
-d|te|texts
-o|texts/n|texts/notes.txt
--keep-cr|texts/o|texts/other.kvt
-j||
CASES
if [ "$failures" -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "tarvex-cli completes its options, routes ($routes), schemes, formats, fonts, stages and files"
