#!/usr/bin/env bash
# The English translation is complete and up to date: lupdate over the sources, with the options
# of the update_translations target, changes nothing in the .ts, and no text in it is unfinished,
# vanished or empty. On a failure: cmake --build build --target update_translations, then give
# every text marked unfinished its English (README.md, "Translations").
#   ts_up_to_date.sh LUPDATE TS_FILE SOURCES_LIST OPTIONS...
set -euo pipefail
lupdate=$1 ts=$2 list=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/current.ts"
"$lupdate" "$@" "@$list" -ts "$work/current.ts" >"$work/lupdate.log" 2>&1 ||
  { cat "$work/lupdate.log"; exit 1; }
status=0
if ! diff -u "$ts" "$work/current.ts"; then
  echo "FAIL: $ts is not up to date with the sources (the diff is what lupdate changes)"
  status=1
fi
if grep -nE 'type="(unfinished|vanished|obsolete)"|<translation></translation>|<translation/>' \
  "$work/current.ts"; then
  echo "FAIL: the texts above have no English"
  status=1
fi
messages=$(grep -c '<message>' "$work/current.ts" || true)
[ "$messages" -gt 0 ] || { echo "FAIL: no message in $ts"; status=1; }
[ $status -eq 0 ] && echo "$messages texts, every one with its English"
exit $status
