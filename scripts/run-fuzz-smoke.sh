#!/bin/sh
# Runs every fuzz target briefly over its seed corpus: a crash found in the
# seeds or in a few seconds of mutation fails the build.
set -eu
dir="$1"
seconds="${FUZZ_SECONDS:-10}"
root="$(cd "$(dirname "$0")/.." && pwd)"
status=0
for target in "$dir"/fuzz_*; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    seeds="$root/fuzz/corpus/$name"
    work="$(mktemp -d)"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
    if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 "$work" >"$work.log" 2>&1; then
        echo "fuzz target $name failed:"; tail -40 "$work.log"; status=1
    else
        echo "fuzz target $name: ok"
    fi
    rm -rf "$work" "$work.log"
done
exit $status
