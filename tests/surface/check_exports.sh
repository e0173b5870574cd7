#!/usr/bin/env bash
# The library exports exactly the names in exports.txt, and every one of
# them is declared in the public header (and nothing more is declared).
set -euo pipefail
export LC_ALL=C
lib=$1 list=$2 header=$3
fail=0
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort)
expected=$(grep -v '^\s*$' "$list")
if [ "$expected" != "$(sort <<<"$expected")" ]; then
  echo "exports.txt is not sorted"; fail=1
fi
if ! diff <(echo "$expected") <(echo "$actual"); then
  echo "dynamic symbols (>) differ from exports.txt (<)"; fail=1
fi
declared=$(grep -oE 'DRO_CALL[[:space:]]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*\(' "$header" \
  | sed -E 's/DRO_CALL[[:space:]]+//; s/[[:space:]]*\($//' | sort -u)
if ! diff <(echo "$expected") <(echo "$declared"); then
  echo "declarations in drovine.h (>) differ from exports.txt (<)"; fail=1
fi
[ $fail -eq 0 ] && echo "$(wc -l <<<"$expected") exports match"
exit $fail
