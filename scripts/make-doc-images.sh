#!/bin/sh
# Draws the pictures of docs/images from the bundled examples with the
# release build (make build first): the graphs, the first two report pages
# and the two calibration windows, headless and on a (virtual) screen.
set -eu
cd "$(dirname "$0")/.."
B=build/release
OUT=docs/images
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The settings' defaults, whatever the user has set.
export MASSCAL_SETTINGS="$tmp/settings.ini"
: >"$MASSCAL_SETTINGS"
"$B/apps/masscal/masscal" calibrate examples/nai_tof.txt examples/nai.ref --png "$OUT/graphs.png" \
    --report "$tmp/report.pdf" --subtitle "Bundled example: sodium iodide clusters, time-of-flight" >/dev/null
for page in 1 2; do
    pdftoppm -r 80 -png -f "$page" -l "$page" -singlefile "$tmp/report.pdf" "$OUT/report-page$page"
done
MASSCAL_DOC_IMAGES="$OUT" "$B/tests/test_window" --gtest_filter='Window.PicturesOfTheWindows' >/dev/null
MASSCAL_DOC_IMAGES="$PWD/$OUT" MASSCAL_TEST_DATA="$PWD/tests/data" tests/support/with_xvfb.sh \
    "$B/tests/test_platform_gtk" --gtest_filter='Screen.EditingTheTimeOfFlightExample:Screen.QuadrupoleWindow*' >/dev/null
