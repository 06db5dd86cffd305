#!/usr/bin/env bash
# An installation into a staging folder (DESTDIR) under another prefix than the build's: it holds exactly
# the files of installed-files.txt, none of them names the source or build folder, and the installed
# programs, run with an empty HOME from an empty folder, find their tables and the add-in where they
# were installed and write the same bytes as the build's programs with the source tree's tables.
# Usage: install_test.sh SOURCE_DIR BUILD_DIR LIBDIR
set -euo pipefail
source_dir=$1 build=$2 libdir=$3
prefix=/opt/tsendrel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

DESTDIR=$work/stage cmake --install "$build" --prefix "$prefix" --strip >"$work/install.log"
root=$work/stage$prefix

python=python$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
suffix=$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
python_module=yes
[ -d "$build/python/tsendrel" ] || python_module=no
grep -v '^#' "$source_dir/tests/packaging/installed-files.txt" | sed "s|@LIBDIR@|$libdir|" |
  sed "s|@PYTHON@|$python|; s|@EXT_SUFFIX@|$suffix|" | { if [ $python_module = yes ]; then cat; else grep -v "/$python/"; fi; } |
  LC_ALL=C sort >"$work/expected"
(cd "$root" && find . -type f -o -type l) | sed 's|^\./||' | LC_ALL=C sort >"$work/installed"
if ! diff -u "$work/expected" "$work/installed"; then
  fail "the installation does not hold the expected files (- expected, + installed)"
fi
if empty=$(cd "$root" && find . -type d -empty | grep .); then
  fail "the installation holds empty folders: $empty"
fi
for folder in "$source_dir" "$build"; do
  if named=$(grep -rlF "$folder" "$root"); then
    fail "installed files name $folder: $named"
  fi
done

desktop=$root/share/applications/tarvex.desktop
grep -qx "Exec=$prefix/bin/tarvex" "$desktop" || fail "the desktop entry does not start $prefix/bin/tarvex"
grep -qx "Path=$prefix/share/tsendrel" "$desktop" || fail "the desktop entry does not start in the tables' folder"

# The installed programs: an empty home, an empty current folder, no -d.
mkdir -p "$work/home" "$work/here" "$work/built"
run_installed() { (cd "$work/here" && env -i HOME="$work/home" PATH=/usr/bin:/bin "$@"); }

# tarvex-cli: each case is an example and its options.
while read -r example options; do
  name=$(basename "$example")
  cp "$source_dir/examples/$example" "$work/here/$name"
  cp "$source_dir/examples/$example" "$work/built/$name"
  # shellcheck disable=SC2086 # the options are words
  if ! run_installed "$root/bin/tarvex-cli" $options -o out "$name" 2>"$work/installed.err"; then
    fail "installed tarvex-cli $options $name failed: $(cat "$work/installed.err")"
    continue
  fi
  # shellcheck disable=SC2086
  (cd "$work/built" && "$build/converter/cli/tarvex-cli" -d "$source_dir/data" $options -o out "$name" 2>/dev/null)
  cmp -s "$work/here/out" "$work/built/out" || fail "installed tarvex-cli $options $name: other bytes than the build's"
  rm "$work/here/out" "$work/built/out"
done <<'CASES'
aspiration.txt
colophon.txt -f korlam
glossary.txt --keep-cr -t wylie-unicode-rtf
greeting.kvt -t kvts-unicode
CASES
[ -z "$(ls -A "$work/home")" ] || fail "tarvex-cli wrote into HOME: $(ls -A "$work/home")"

# The Python module, from the installation's Python path, converts as the build's tarvex-cli.
if [ $python_module = yes ]; then
  cp "$source_dir/examples/colophon.txt" "$work/built/colophon.txt"
  (cd "$work/built" && "$build/converter/cli/tarvex-cli" -d "$source_dir/data" -f korlam -o out colophon.txt 2>/dev/null)
  (cd "$work/here" && env -i HOME="$work/home" PYTHONPATH="$root/lib/$python/dist-packages" /usr/bin/python3 -c '
import sys, tsendrel
sys.stdout.buffer.write(tsendrel.convert(open(sys.argv[1], "rb").read(), "wylie", "rtf", font="korlam").output)' \
    "$source_dir/examples/colophon.txt" >"$work/here/out") || fail "the installed module did not convert"
  cmp -s "$work/here/out" "$work/built/out" || fail "the installed module: other bytes than the build's tarvex-cli"
  rm -f "$work/here/out" "$work/built/out"
fi

# tsendrel-compose, with no --data-dir.
printf 'fskre' >"$work/keys"
run_installed "$root/bin/tsendrel-compose" <"$work/keys" >"$work/installed.out" 2>"$work/installed.err" ||
  fail "installed tsendrel-compose failed: $(cat "$work/installed.err")"
"$build/core/tsendrel-compose" --data-dir "$source_dir/data" <"$work/keys" >"$work/built.out"
cmp -s "$work/installed.out" "$work/built.out" || fail "installed tsendrel-compose: other output than the build's"

# wordhost loads the installed add-in, which reads the tables copied into its folder in HOME.
mkdir -p "$work/home/Tsendrel"
cp "$root/share/tsendrel/keyfont" "$root/share/tsendrel/keymap" "$work/home/Tsendrel/"
script=$source_dir/examples/wordhost/greeting.script
run_installed "$root/bin/wordhost" --dump "$script" >"$work/installed.out" 2>&1 ||
  fail "installed wordhost failed: $(cat "$work/installed.out")"
"$build/addin/host/wordhost" --home "$work/home/Tsendrel" --dump "$script" >"$work/built.out" 2>&1
cmp -s "$work/installed.out" "$work/built.out" || fail "installed wordhost: other output than the build's"

if [ "$failures" -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "the installation under $prefix holds $(wc -l <"$work/installed") files and its programs run from there"
