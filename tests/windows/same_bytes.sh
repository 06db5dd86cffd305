#!/usr/bin/env bash
# The Windows programs under Wine write the same bytes as the Linux ones: every example converted with
# every conversion type that tarvex-cli lists, and the wordhost example scripts played through
# wordhost.exe + TIBET.dll and through wordhost + libTIBET.so (document dump and RTF).
# Usage: same_bytes.sh SOURCE_DIR LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -uo pipefail
source_dir=$1 linux=$2 windows=$3
wine=$windows/wine-run
cli=$linux/converter/cli/tarvex-cli
host=$linux/addin/host/wordhost
cli_exe=$windows/converter/cli/tarvex-cli.exe
host_exe=$windows/addin/wordhost.exe
for program in "$cli" "$host"; do
  if [ ! -x "$program" ]; then
    echo "SKIP: $program is not built (the Linux build comes first in 'make test')"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 compared=0

# Shows what a program said on standard error, under the case that failed.
said() {
  if [ -s "$1" ]; then
    echo "  $2 said:"
    sed 's/^/    /' "$1"
  fi
}

# Compares two files; names the case when they differ.
same() {
  compared=$((compared + 1))
  if ! cmp -s "$1" "$2"; then
    echo "FAIL: $3: the outputs differ"
    cmp "$1" "$2" | head -1
    failed=1
    return 1
  fi
}

"$cli" --help >"$work/help.linux"
"$wine" "$cli_exe" --help >"$work/help.windows" 2>"$work/stderr.windows"
same "$work/help.linux" "$work/help.windows" "tarvex-cli --help" || said "$work/stderr.windows" "Windows"
# The types are the first words of the indented lines under the --type option.
types=$(awk '/--type/ {on = 1; next} on && /^         *[a-z]/ {print $1; next} on {exit}' "$work/help.linux")
if [ -z "$types" ]; then
  echo "FAIL: tarvex-cli --help lists no conversion type"
  exit 1
fi

mkdir -p "$work/linux" "$work/windows"
for example in "$source_dir"/examples/*.txt "$source_dir"/examples/*.kvt; do
  name=$(basename "$example")
  cp "$example" "$work/linux/" && cp "$example" "$work/windows/"
  for type in $types; do
    for options in "" "-f korlam --keep-cr"; do
      label="$name -t $type $options"
      out="$type${options:+-korlam}-$name.out"
      (cd "$work/linux" && "$cli" -d "$source_dir/data" -t "$type" $options -o "$out" "$name" 2>"$work/stderr.linux")
      linux_status=$?
      (cd "$work/windows" && "$wine" "$cli_exe" -d "Z:$source_dir/data" -t "$type" $options -o "$out" "$name" \
        2>"$work/stderr.windows")
      windows_status=$?
      if [ $linux_status -ne $windows_status ]; then
        echo "FAIL: $label: exit status $linux_status on Linux, $windows_status on Windows"
        said "$work/stderr.linux" "Linux"
        said "$work/stderr.windows" "Windows"
        failed=1
      fi
      [ -f "$work/linux/$out" ] || [ -f "$work/windows/$out" ] || continue
      same "$work/linux/$out" "$work/windows/$out" "$label"
    done
  done
done

# Standard input to standard output: bytes that pass the C library's own streams.
for type in $types; do
  example=$source_dir/examples/aspiration.txt
  "$cli" -d "$source_dir/data" -t "$type" - <"$example" >"$work/linux/$type.stdout" 2>"$work/stderr.linux"
  linux_status=$?
  "$wine" "$cli_exe" -d "Z:$source_dir/data" -t "$type" - <"$example" >"$work/windows/$type.stdout" \
    2>"$work/stderr.windows"
  windows_status=$?
  if [ $linux_status -ne $windows_status ]; then
    echo "FAIL: tarvex-cli -t $type -: exit status $linux_status on Linux, $windows_status on Windows"
    failed=1
  fi
  if ! same "$work/linux/$type.stdout" "$work/windows/$type.stdout" "tarvex-cli -t $type - (standard output)" ||
    [ $linux_status -ne $windows_status ]; then
    said "$work/stderr.linux" "Linux"
    said "$work/stderr.windows" "Windows"
  fi
done

tables=$source_dir/data
[ -f "$tables/keyfont" ] && [ -f "$tables/keymap" ] || tables=$source_dir/data/sample
for script in "$source_dir"/examples/wordhost/*.script; do
  name=$(basename "$script" .script)
  for side in linux windows; do
    mkdir -p "$work/$side/home-$name"
    cp "$tables/keyfont" "$tables/keymap" "$work/$side/home-$name/"
    cp "$script" "$work/$side/$name.script"
  done
  (cd "$work/linux" && "$host" --home "home-$name" --dump --rtf "$name.rtf" "$name.script" >"$name.dump" 2>&1)
  linux_status=$?
  (cd "$work/windows" && "$wine" "$host_exe" --home "home-$name" --dump --rtf "$name.rtf" "$name.script" >"$name.dump" 2>&1)
  windows_status=$?
  if [ $linux_status -ne $windows_status ]; then
    echo "FAIL: wordhost $name.script: exit status $linux_status on Linux, $windows_status on Windows"
    said "$work/windows/$name.dump" "Windows (output and error)"
    failed=1
  fi
  same "$work/linux/$name.dump" "$work/windows/$name.dump" "wordhost $name.script --dump"
  same "$work/linux/$name.rtf" "$work/windows/$name.rtf" "wordhost $name.script --rtf"
  if [ -f "$work/linux/home-$name/font.def" ] || [ -f "$work/windows/home-$name/font.def" ]; then
    same "$work/linux/home-$name/font.def" "$work/windows/home-$name/font.def" "wordhost $name.script font.def"
  fi
done

[ $failed -eq 0 ] && echo "$compared outputs compared, all the same bytes (types: $(echo $types))"
exit $failed
