#!/usr/bin/env bash
# lintian on the Debian packages of make deb: no error. Its warnings and notes are shown.
# Usage: lintian_test.sh DEB_DIR VERSION
set -euo pipefail
debs=$1 version=$2
if ! command -v lintian >/dev/null; then
  echo "SKIPPED: lintian is not installed (scripts/setup installs it)"
  exit 77
fi
files=()
for package in tsendrel fonts-tsendrel python3-tsendrel; do
  deb=$(ls "$debs/${package}_${version}_"*.deb 2>/dev/null | sed -n 1p)
  if [ -z "$deb" ]; then
    echo "SKIPPED: no $package $version package in $debs: run make deb (make test does)"
    exit 77
  fi
  files+=("$deb")
done
# lintian fails on errors only (--fail-on error), and on a package that it cannot read.
if report=$(lintian --fail-on error --info --display-info --no-tag-display-limit "${files[@]}" 2>&1); then
  status=0
else
  status=$?
fi
echo "$report"
if [ "$status" -ne 0 ] || grep '^E: ' <<<"$report" >/dev/null; then
  echo "FAIL: lintian reports errors (exit status $status)"
  exit 1
fi
echo "lintian: no error on ${files[*]}"
