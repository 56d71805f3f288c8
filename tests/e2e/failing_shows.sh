#!/usr/bin/env bash
# Broken shows: the error reaches the user, the program waits with what it had
# on the screen, and after the box is closed Escape or SIGTERM ends it with
# exit code 0. The show folder is never changed.
source "$(dirname "$0")/lib.sh"

start_x

# name | how the show is broken | what the user is told | how it ends | progress line shown
cases=(
  "missing loading picture|rm data/loading.jpg|Datei data\\loading.jpg kann nicht geöffnet werden.|Escape|no"
  "missing frame list|rm data/frames.dat|Datei nicht gefunden.|SIGTERM|no"
  "scene word that is no number|printf '0 1\\r\\n2 1y\\r\\n' >data/scene.dat|'1y' ist kein gültiger Integerwert.|Escape|yes"
  "frame that is no JPEG|printf 'not a picture' >data/bad.jpg; printf 'red.jpg\\r\\ngreen.jpg\\r\\nbad.jpg\\r\\nblue.jpg\\r\\n' >data/frames.dat|JPEG-Fehler #|SIGTERM|yes"
  "frame list with LF line ends|printf 'red.jpg\\ngreen.jpg\\n' >data/frames.dat|kann nicht geöffnet werden.|Escape|no"
)

n=0
for row in "${cases[@]}"; do
  IFS='|' read -r name breakage message ending progress <<<"$row"
  n=$((n + 1))
  echo "== $name"
  show="$WORK/show$n"
  make_broken_show "$show" "$breakage"

  start_vazu "$show"
  wait_for_stderr "$message" 15
  sleep 1
  alive || fail "$name: the program did not wait"
  # Nothing plays on: no frame of the movie ever reaches the screen.
  screenshot "$WORK/stalled.png"
  centre=$(pixel "$WORK/stalled.png" 512 600)
  for frame in "255 0 0" "0 255 0" "0 0 255"; do
    near "$centre" "$frame" 40 && fail "$name: a movie frame is on the screen"
  done
  if [[ $progress == yes ]]; then
    # The loading picture with its progress line (white box at 10,455 of 640x480).
    box=$(pixel "$WORK/stalled.png" 17 729)
    near "$box" "255 255 255" 30 || fail "$name: no progress line at the bottom left ($box)"
  fi

  dismiss_box vazu
  sleep 0.5
  alive || fail "$name: the program ended when the box was closed"
  if [[ $ending == Escape ]]; then
    press Escape
  else
    kill -TERM "$VAZU_PID"
  fi
  expect_clean_exit "$show" 3 "$name (ended by $ending)"
  echo "   told '$message', waited, ended by $ending with exit code 0"
done
