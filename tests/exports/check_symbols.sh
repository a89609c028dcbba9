#!/bin/sh
# Checks that every name of the lists (every *.txt in the folder) is exported by the shared library: plain
# names with C linkage (the symbol is the bare name), "Class::member(args)"
# lines as demangled C++ symbols.
set -eu
lib="$1"; list="$2"
raw=$(mktemp); demangled=$(mktemp)
trap 'rm -f "$raw" "$demangled"' EXIT
nm -D --defined-only "$lib" | awk '{print $3}' | sort -u >"$raw"
nm -DC --defined-only "$lib" | cut -d' ' -f3- | sort -u >"$demangled"
missing=0
while IFS= read -r name; do
    case "$name" in ''|'#'*) continue ;; esac
    case "$name" in
        *::*|*' '*) grep -qxF -- "$name" "$demangled" || { echo "missing C++ export: $name"; missing=1; } ;;
        *)    grep -qxF -- "$name" "$raw" || { echo "missing C export: $name"; missing=1; } ;;
    esac
done <<EOF_LIST
$(cat "$list"/*.txt)
EOF_LIST
# Internal helpers must stay hidden.
for hidden in CalAllocPeakList CalAllocMatrix eval_coeffs; do
    if grep -q "$hidden" "$raw"; then echo "internal symbol exported: $hidden"; missing=1; fi
done
exit $missing
