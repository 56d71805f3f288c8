# Shared pieces of the end-to-end tests: a private X server, the program run
# in a show folder with its sound captured, keys, screenshots and checks.
# Sourced by the test scripts; every test works in a folder of its own.
set -euo pipefail

VAZU=${VAZU:?VAZU names the program to test}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vazu-e2e-XXXXXX")
XVFB_PID=""
VAZU_PID=""

cleanup() {
  [[ -n "$VAZU_PID" ]] && kill -9 "$VAZU_PID" 2>/dev/null || true
  [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [[ -f "$WORK/stderr" ]]; then
    echo "--- program's standard error (first 3000 bytes):" >&2
    head -c 3000 "$WORK/stderr" >&2
    echo >&2
  fi
  exit 1
}

# A private X server with a 1024x768 screen (the 640x480 picture scaled 1.6 times).
start_x() {
  local fd_file="$WORK/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [[ -s "$fd_file" ]] && break
    sleep 0.05
  done
  [[ -s "$fd_file" ]] || fail "Xvfb did not start"
  export DISPLAY=":$(tr -d '\n' <"$fd_file")"
}

# Starts the program in show folder $1; sound goes to $WORK/audio.raw.
start_vazu() {
  local show=$1
  rm -f "$WORK/audio.raw" "$WORK/exitcode"
  (
    cd "$show"
    SDL_AUDIODRIVER=${E2E_AUDIODRIVER:-disk} SDL_DISKAUDIOFILE="$WORK/audio.raw" \
      exec "$VAZU" >"$WORK/stdout" 2>"$WORK/stderr"
  ) &
  VAZU_PID=$!
  START_TIME=$(date +%s.%N)
}

# Waits up to $2 seconds (default 10) for standard error to hold text $1.
wait_for_stderr() {
  local text=$1 limit=${2:-10}
  local end=$((SECONDS + limit))
  while ((SECONDS < end)); do
    grep -qF -- "$text" "$WORK/stderr" 2>/dev/null && return 0
    alive || fail "the program ended before saying: $text"
    sleep 0.1
  done
  fail "no '$text' on standard error within $limit s"
}

# Waits up to $1 seconds for the main window to exist.
wait_for_window() {
  local limit=${1:-10}
  local end=$((SECONDS + limit))
  while ((SECONDS < end)); do
    xdotool search --name '^Form1$' >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "no main window within $limit s"
}

alive() { kill -0 "$VAZU_PID" 2>/dev/null; }

# Waits up to $1 seconds for the program to end; sets EXIT_CODE.
wait_for_exit() {
  local limit=$1
  local end
  end=$(awk -v s="$(date +%s.%N)" -v l="$limit" 'BEGIN { printf "%.3f", s + l }')
  while alive; do
    awk -v e="$end" -v n="$(date +%s.%N)" 'BEGIN { exit !(n > e) }' && fail "still running after $limit s"
    sleep 0.05
  done
  set +e
  wait "$VAZU_PID"
  EXIT_CODE=$?
  set -e
  VAZU_PID=""
}

# A key through the X server's test extension, as a person would type it.
press() { xdotool key "$@"; }

# Screenshot of the whole screen.
screenshot() { import -window root "$1"; }

# The colour at x,y of picture $1 as "r g b" (0..255).
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

# Is colour "r g b" ($1) within $3 of colour "r g b" ($2) on every channel?
near() {
  awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN {
    split(a, x, " "); split(b, y, " ");
    for (i = 1; i <= 3; i++) { d = x[i] - y[i]; if (d < 0) d = -d; if (d > t) exit 1 }
  }'
}

# A fingerprint of everything in folder $1: names, kinds, sizes, contents, times.
folder_state() {
  (cd "$1" && find . -printf '%p %y %s %T@ %l\n' | sort && find . -type f -print0 | sort -z | xargs -0 -r sha256sum)
}

# A small show: the demo's loading picture and songs, three frames of plain
# colours (red, green, blue) and a scene script that cycles through them.
make_small_show() {
  local show=$1 demo=${DEMO:?DEMO names the demo show folder}
  mkdir -p "$show/data"
  cp "$demo/data/loading.jpg" "$demo"/data/*.mp3 "$show/data/"
  convert -size 640x480 xc:'#ff0000' -quality 95 "$show/data/red.jpg"
  convert -size 640x480 xc:'#00ff00' -quality 95 "$show/data/green.jpg"
  convert -size 640x480 xc:'#0000ff' -quality 95 "$show/data/blue.jpg"
  printf 'red.jpg\r\ngreen.jpg\r\nblue.jpg\r\n' >"$show/data/frames.dat"
  printf '0 1\r\n382 1\r\n' >"$show/data/scene.dat"
}

# Closes the program's message box (the window called $1, default "vazu") by
# clicking its OK button, as a person would.
dismiss_box() {
  local caption=${1:-vazu} geometry
  local end=$((SECONDS + 10))
  while ((SECONDS < end)); do
    geometry=$(xwininfo -root -tree | awk -v c="\"$caption\":" '$2 == c { print $(NF-1) }' | head -1)
    [[ -n "$geometry" ]] && break
    sleep 0.1
  done
  [[ -n "$geometry" ]] || fail "no message box '$caption' on the screen"
  # WIDTHxHEIGHT+X+Y; the OK button sits centred near the bottom.
  local w h x y
  IFS='x+' read -r w h x y <<<"$geometry"
  xdotool mousemove $((x + w / 2)) $((y + h - 28)) click 1
  sleep 0.3
  xwininfo -root -tree | grep -qF "\"$caption\":" && fail "the message box stayed open"
  xdotool mousemove 900 700
}

# A small show in folder $1, broken by the shell commands $2 run inside it.
# SHOW_BEFORE then holds the folder's fingerprint.
make_broken_show() {
  make_small_show "$1"
  (cd "$1" && eval "$2")
  SHOW_BEFORE=$(folder_state "$1")
}

# Waits up to $2 seconds for the program to end with exit code 0 and checks
# that show folder $1 is as make_broken_show left it; $3 names the case.
expect_clean_exit() {
  wait_for_exit "$2"
  [[ $EXIT_CODE -eq 0 ]] || fail "$3: exit code $EXIT_CODE"
  [[ "$(folder_state "$1")" == "$SHOW_BEFORE" ]] || fail "$3: the show folder changed"
}
