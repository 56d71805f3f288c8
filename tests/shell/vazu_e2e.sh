#!/usr/bin/env bash
# The real program on a private X server, playing the demo show: it starts
# and shows its window, and ends with exit code 0 on Escape, on the window's
# close request and on SIGTERM. Without any screen it says so and ends with a
# non-zero code.
# Usage: vazu_e2e.sh <vazu> <x_close_window> <vazu-demo>
set -u
vazu=$1
xclose=$2
demo=$3
work=$(mktemp -d)
xpid=
cleanup() {
    [[ -n "$xpid" ]] && kill "$xpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# No screen at all: a clear message and a non-zero exit, nothing hangs.
out=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 "$vazu" 2>&1)
rc=$?
if [[ $rc -eq 0 || $rc -eq 124 ]]; then
    fail "without a screen: exit code $rc"
elif ! grep -q "no video device" <<<"$out"; then
    fail "without a screen: no clear message: $out"
fi

show="$work/show"
"$demo" "$show" >/dev/null || { echo "FAIL: the demo show could not be made" >&2; exit 1; }

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xpid=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset SDL_VIDEODRIVER

run_case() {
    local name=$1 action=$2
    (cd "$show" && exec "$vazu") >"$work/$name.log" 2>&1 &
    local pid=$!
    local window
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Form1$' 2>/dev/null | head -n1)
    if [[ -z "$window" ]]; then
        fail "$name: no visible window Form1"
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        return
    fi
    case $action in
    escape)
        xdotool windowfocus --sync "$window" 2>/dev/null
        xdotool key Escape
        ;;
    close) "$xclose" "$window" ;;
    sigterm) kill -TERM "$pid" ;;
    esac
    local rc=
    # Requests wait until the loading sequence has ended.
    for _ in $(seq 300); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            rc=$?
            break
        fi
        sleep 0.1
    done
    if [[ -z "$rc" ]]; then
        fail "$name: still running 30 s after the request"
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    elif [[ $rc -ne 0 ]]; then
        fail "$name: exit code $rc: $(cat "$work/$name.log")"
    else
        echo "ok: $name"
    fi
}

run_case escape escape
run_case close-button close
run_case sigterm sigterm
exit $((failures > 0))
