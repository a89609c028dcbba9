#!/bin/sh
# Runs a command on a private Xvfb display and stops the server afterwards.
# The server picks a free display number itself (-displayfd), so runs in
# parallel never meet. Where Xvfb cannot start the command is skipped with a
# notice and exit code 77 (ctest SKIP_RETURN_CODE).
set -u
skip() {
    echo "SKIPPED: $1: the tests that need a display did not run" >&2
    exit 77
}
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed"

work=$(mktemp -d) || skip "no temporary folder"
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
cleanup() {
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' INT TERM

number=""
tries=0
while [ -z "$number" ] && [ "$tries" -lt 100 ]; do
    kill -0 "$server" 2>/dev/null || break
    number=$(tr -dc '0-9' <"$work/display")
    [ -n "$number" ] || sleep 0.1
    tries=$((tries + 1))
done
[ -n "$number" ] || skip "Xvfb did not start ($(tail -n 1 "$work/xvfb.log" 2>/dev/null))"

mkdir -m 700 "$work/runtime"
# GTK without a session: no accessibility bus, settings in memory.
DISPLAY=":$number" XDG_RUNTIME_DIR="$work/runtime" NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory \
    GDK_BACKEND=x11 "$@"
