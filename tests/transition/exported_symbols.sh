#!/usr/bin/env bash
# The library exports exactly the symbols of its public headers: every exported name of ours
# (namespace lmvo) must be in the list, and every name in the list exported. Run with the
# library and the list; after a deliberate change of the public API, update the list.
set -euo pipefail
lib=$1 list=$2
exported=$(nm -D --defined-only -C "$lib" | sed -E 's/^[0-9a-f]+ [A-Za-z] //' | grep 'lmvo::' | sort -u)
if ! diff <(sort -u "$list") <(echo "$exported"); then
  echo "exported symbols differ from $list ('>' exported but not public, '<' public but missing)" >&2
  exit 1
fi
