#!/usr/bin/env bash
# The Debian packages of make deb, installed for real (as root) with dpkg: tarvex-cli from the PATH
# converts an example as the build's does, and so does the Python module; man finds the pages, fontconfig
# the fonts, the completion loads and completes, wordhost loads the installed add-in; then purged, nothing
# of theirs is left.
# Usage: deb_test.sh DEB_DIR VERSION SOURCE_DIR BUILD_DIR COMPLETION_TEST
set -euo pipefail
debs=$1 version=$2 source_dir=$3 build=$4 completion_test=$5
packages=(tsendrel fonts-tsendrel python3-tsendrel)

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: installing the packages needs root"
  exit 77
fi
files=()
for package in "${packages[@]}"; do
  deb=$(ls "$debs/${package}_${version}_"*.deb 2>/dev/null | sed -n 1p)
  if [ -z "$deb" ]; then
    echo "SKIPPED: no $package $version package in $debs: run make deb (make test does)"
    exit 77
  fi
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q ' installed$'; then
    echo "SKIPPED: $package is already installed on this machine; this test installs and purges it itself"
    exit 77
  fi
  files+=("$deb")
done

work=$(mktemp -d)
purge() { dpkg --purge "${packages[@]}" >"$work/purge.log" 2>&1; }
trap 'purge || true; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

dpkg -i "${files[@]}" >"$work/install.log" 2>&1 || { cat "$work/install.log"; echo "FAIL: dpkg -i"; exit 1; }

# tarvex-cli from the PATH, in an empty folder with an empty HOME, with no -d.
mkdir -p "$work/home" "$work/here" "$work/built"
cli=$(command -v tarvex-cli) || fail "tarvex-cli is not on the PATH"
[ "$cli" = /usr/bin/tarvex-cli ] || fail "tarvex-cli is $cli, not /usr/bin/tarvex-cli"
[ "$(tarvex-cli --version)" = "tarvex-cli $version" ] || fail "tarvex-cli --version: $(tarvex-cli --version)"
cp "$source_dir/examples/aspiration.txt" "$work/here/"
cp "$source_dir/examples/aspiration.txt" "$work/built/"
(cd "$work/here" && HOME=$work/home tarvex-cli aspiration.txt 2>/dev/null) || fail "tarvex-cli aspiration.txt failed"
(cd "$work/built" && "$build/converter/cli/tarvex-cli" -d "$source_dir/data" aspiration.txt 2>/dev/null)
cmp -s "$work/here/aspiration.rtf" "$work/built/aspiration.rtf" ||
  fail "the installed tarvex-cli wrote other bytes than the build's"

# Debian's python3 imports the module from its own path, and converts as the build's tarvex-cli.
(cd "$work/here" && HOME=$work/home /usr/bin/python3 -c '
import sys, tsendrel
assert tsendrel.__file__.startswith("/usr/lib/python3/dist-packages/"), tsendrel.__file__
sys.stdout.buffer.write(tsendrel.convert(open("aspiration.txt", "rb").read(), "wylie", "rtf").output)' \
  >"$work/here/module.rtf") || fail "import tsendrel failed"
cmp -s "$work/here/module.rtf" "$work/built/aspiration.rtf" || fail "the installed module wrote other bytes than the build's"

for page in tarvex-cli tarvex tsendrel-compose wordhost tsendrel-keyfont; do
  man -w "$page" >/dev/null 2>&1 || fail "man -w $page finds no page"
done
[ "$(man -w tarvex-cli)" = /usr/share/man/man1/tarvex-cli.1.gz ] || fail "man -w tarvex-cli: $(man -w tarvex-cli)"
[ "$(man -w 5 tsendrel-keyfont)" = /usr/share/man/man5/tsendrel-keyfont.5.gz ] || fail "no tsendrel-keyfont(5)"

for family in Ekorlam-a Korlam-vowa; do
  fc-list ":family=$family" file | grep /usr/share/fonts/truetype/tsendrel/ >/dev/null || fail "fc-list finds no $family"
done

completion=/usr/share/bash-completion/completions/tarvex-cli
bash -n "$completion" || fail "$completion does not pass bash -n"
"$completion_test" "$completion" /usr/bin/tarvex-cli >"$work/completion.log" ||
  fail "the installed completion: $(cat "$work/completion.log")"

mkdir -p "$work/home/Tsendrel"
cp /usr/share/tsendrel/keyfont /usr/share/tsendrel/keymap "$work/home/Tsendrel/"
HOME=$work/home wordhost --dump "$source_dir/examples/wordhost/greeting.script" >"$work/wordhost.out" 2>&1 ||
  fail "the installed wordhost: $(cat "$work/wordhost.out")"

desktop=/usr/share/applications/tarvex.desktop
grep -qx 'Path=/usr/share/tsendrel' "$desktop" || fail "$desktop does not start tarvex in /usr/share/tsendrel"

# The Writer extension is registered with LibreOffice for every user while the package is installed.
unopkg=/usr/lib/libreoffice/program/unopkg
if [ -x "$unopkg" ]; then
  "$unopkg" list --shared 2>/dev/null | grep -q 'Identifier: org.tsendrel.writer' ||
    fail "tsendrel.oxt is not registered with LibreOffice; dpkg -i said: $(cat "$work/install.log")"
fi

# Purged, no file of either package is left, nor a folder of its own (folders shared with others stay).
owned=$(dpkg -L "${packages[@]}" | grep -E '^/' | LC_ALL=C sort -u)
purge || fail "dpkg --purge: $(cat "$work/purge.log")"
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q ' installed$' && fail "$package is still installed"
done
if [ -x "$unopkg" ] && "$unopkg" list --shared 2>/dev/null | grep -q 'Identifier: org.tsendrel.writer'; then
  fail "tsendrel.oxt is still registered with LibreOffice after the purge"
fi
while read -r path; do
  if [ -f "$path" ] || [ -L "$path" ] || { [ -d "$path" ] && [[ $path == */tsendrel ]]; }; then
    fail "$path is left after the purge"
  fi
done <<<"$owned"
fc-list | grep /usr/share/fonts/truetype/tsendrel/ >/dev/null && fail "fc-list still finds the purged fonts"

if [ "$failures" -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "installed, used and purged: ${files[*]}"
