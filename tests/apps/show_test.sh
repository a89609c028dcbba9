#!/bin/sh
# masscal show on a display (run under tests/support/with_xvfb.sh), driven
# from the keyboard through xdotool as a user would: File > Exit, then Yes
# writes --out exactly as calibrate writes it (exit 0), No writes nothing
# (exit 1); without a display, one line and exit 2.
set -eu
B="$1"
ROOT="$2"
command -v xdotool >/dev/null 2>&1 || { echo "SKIPPED: xdotool is not installed" >&2; exit 77; }
tmp=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
export MASSCAL_SETTINGS="$tmp/settings.ini"
: >"$MASSCAL_SETTINGS"
DATA="$ROOT/examples/nai_tof.txt"
REF="$ROOT/examples/nai.ref"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Waits (at most 20 s) until the program shows at least n windows.
windows_shown() {
    i=0
    while [ "$(xdotool search --onlyvisible --class masscal 2>/dev/null | wc -l)" -lt "$1" ]; do
        i=$((i + 1))
        [ "$i" -le 200 ] || fail "the program never showed $1 windows"
        sleep 0.1
    done
}

# Opens the window, chooses File > Exit and answers the question with key.
session() {
    out="$1"
    answer="$2"
    "$B" show "$DATA" "$REF" --out "$out" >"$tmp/stdout" 2>"$tmp/stderr" &
    pid=$!
    windows_shown 1
    w=$(xdotool search --sync --onlyvisible --name '^Calibration - ' | head -n 1)
    xdotool windowfocus --sync "$w" key alt+f
    windows_shown 2
    xdotool key x
    box=$(xdotool search --sync --onlyvisible --name '^Calibration$' | head -n 1)
    xdotool windowfocus --sync "$box" key "$answer"
    code=0
    wait "$pid" || code=$?
    pid=""
    return "$code"
}

session "$tmp/accepted.cal" Return || fail "accepting: exit $? ($(cat "$tmp/stderr"))"
grep -q "calibration written to $tmp/accepted.cal" "$tmp/stdout" || fail "accepting: $(cat "$tmp/stdout")"
"$B" calibrate "$DATA" "$REF" --out "$tmp/calibrated.cal" >/dev/null
# The files differ only in the time they were written.
grep -v -i -e '^date' -e '^time' "$tmp/accepted.cal" >"$tmp/a"
grep -v -i -e '^date' -e '^time' "$tmp/calibrated.cal" >"$tmp/b"
cmp -s "$tmp/a" "$tmp/b" || fail "the accepted calibration differs from calibrate's: $(diff "$tmp/a" "$tmp/b")"

code=0
session "$tmp/rejected.cal" alt+n || code=$?
[ "$code" -eq 1 ] || fail "rejecting: exit $code"
[ ! -e "$tmp/rejected.cal" ] || fail "rejecting wrote the calibration"
[ "$(cat "$tmp/stderr")" = "masscal: $DATA: calibration rejected" ] || fail "rejecting said: $(cat "$tmp/stderr")"

code=0
env -u DISPLAY -u WAYLAND_DISPLAY "$B" show "$DATA" "$REF" --out "$tmp/none.cal" >"$tmp/stdout" 2>"$tmp/stderr" || code=$?
[ "$code" -eq 2 ] || fail "without a display: exit $code"
[ "$(wc -l <"$tmp/stderr")" -eq 1 ] || fail "without a display: $(cat "$tmp/stderr")"
grep -q "needs a display" "$tmp/stderr" || fail "without a display: $(cat "$tmp/stderr")"
[ ! -e "$tmp/none.cal" ] || fail "without a display the calibration was written"
echo "show: accept, reject and no display as expected"
