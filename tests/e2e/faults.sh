#!/usr/bin/env bash
# Faults from outside the program: a stop request (SIGTERM) while the show
# loads and while it plays, the focus taken away and given back, and no sound
# device at all. Every section prints what it measured.
#
#   faults.sh quick    the signals and the focus (about 10 s)
#   faults.sh silent   the whole demo with no sound device (about 90 s)
section=${1:-}
[[ $section == quick || $section == silent ]] || {
  echo "usage: faults.sh quick|silent" >&2
  exit 2
}
source "$(dirname "$0")/lib.sh"

now() { date +%s.%N; }
# Seconds from time $1 to now.
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
# Sleeps until time $1 (at once when it has passed).
sleep_until() {
  local left
  left=$(awk -v t="$1" -v n="$(now)" 'BEGIN { d = t - n; printf "%.3f", (d > 0 ? d : 0) }')
  sleep "$left"
}
# Is number $1 at most $2?
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
# Is colour "r g b" ($1) one of the small show's frames?
is_frame() { near "$1" "255 0 0" 40 || near "$1" "0 255 0" 40 || near "$1" "0 0 255" 40; }

# SDL_EVENT_LOGGING=1 makes SDL write every event it queues to standard
# error ("INFO: SDL EVENT: ..."): the tests read from it which window events
# reached the program and in which order.
log_count() { grep -cF -- "$1" "$WORK/stderr" || true; }
# Waits up to $3 seconds for the event log to hold text $1 at least $2 times.
wait_for_logged() {
  local text=$1 count=$2 limit=$3
  local end
  end=$(awk -v n="$(now)" -v l="$limit" 'BEGIN { printf "%.3f", n + l }')
  while (($(log_count "$text") < count)); do
    alive || fail "the program ended before SDL queued $text"
    at_most "$(now)" "$end" || fail "SDL queued no $text within $limit s"
    sleep 0.02
  done
}

# The loading sequence handles no message until it ends, so a stop request
# waits for the rest of the loading; then the program closes as after Escape.
sigterm_while_loading() {
  echo "== SIGTERM while the demo loads"
  local before shown sent took
  before=$(folder_state "$DEMO")
  SDL_EVENT_LOGGING=1 start_vazu "$DEMO"
  wait_for_window 10
  shown=$(now)
  sleep 0.3
  alive || fail "the program ended before the signal"
  kill -TERM "$VAZU_PID"
  sent=$(now)
  wait_for_exit 10
  took=$(since "$sent")
  awk -v s="$START_TIME" -v w="$shown" -v k="$sent" 'BEGIN {
    printf "   window %.2f s after the start, signal %.2f s after the window\n", w - s, k - w }'
  echo "   exit code $EXIT_CODE, $took s after the signal"
  [[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE after SIGTERM while loading"
  # The clock starts when the loading ends; had the signal come later, clock
  # ticks would have been queued before the quit request.
  grep -qF "SDL EVENT: SDL_QUIT" "$WORK/stderr" || fail "SDL never queued the quit request"
  local ticks
  ticks=$(awk '/SDL EVENT: SDL_QUIT/ { exit } /SDL EVENT: SDL_USEREVENT/ { n++ } END { print n + 0 }' "$WORK/stderr")
  [[ $ticks -eq 0 ]] || fail "the signal came after the loading: $ticks clock ticks before the quit request"
  # SDL's own clock: when the window was shown, when the quit was queued (the
  # first look at the event queue after the loading).
  awk '/SDL EVENT: SDL_WINDOWEVENT .*SDL_WINDOWEVENT_SHOWN/ && !s { match($0, /timestamp=[0-9]+/); s = substr($0, RSTART + 10, RLENGTH - 10) }
       /SDL EVENT: SDL_QUIT/ { match($0, /timestamp=[0-9]+/); q = substr($0, RSTART + 10, RLENGTH - 10) }
       END { if (s != "" && q != "") printf "   the loading ended %.2f s after the window was shown (SDL clock)\n", (q - s) / 1000 }' "$WORK/stderr"
  at_most "$took" 3 || fail "the program took $took s to end after SIGTERM while loading (at most 3 s)"
  [[ "$(folder_state "$DEMO")" == "$before" ]] || fail "the demo folder changed"
}

sigterm_while_playing() {
  echo "== SIGTERM while the show plays"
  local show="$WORK/playing" before shown sent took centre
  make_small_show "$show"
  before=$(folder_state "$show")
  start_vazu "$show"
  wait_for_window 10
  shown=$(now)
  sleep 1.5
  screenshot "$WORK/playing.png"
  centre=$(pixel "$WORK/playing.png" 512 384)
  is_frame "$centre" || fail "no movie frame on the screen before the signal (centre $centre)"
  sleep_until "$(awk -v w="$shown" 'BEGIN { printf "%.3f", w + 2 }')"
  alive || fail "the program ended before the signal"
  kill -TERM "$VAZU_PID"
  sent=$(now)
  wait_for_exit 10
  took=$(since "$sent")
  awk -v w="$shown" -v k="$sent" 'BEGIN { printf "   signal %.2f s after the window\n", k - w }'
  echo "   exit code $EXIT_CODE, $took s after the signal"
  [[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE after SIGTERM while playing"
  at_most "$took" 1 || fail "the program took $took s to end after SIGTERM while playing (at most 1 s)"
  [[ "$(folder_state "$show")" == "$before" ]] || fail "the show folder changed"
}

# Losing the focus loses the display's flipping chain; the next present
# restores it. After the focus comes back the movie must move on the screen
# again: a chain left lost would leave the last frame standing.
focus_lost_and_regained() {
  echo "== focus taken away and given back"
  local show="$WORK/focus" before form root taken given centre
  make_small_show "$show"
  before=$(folder_state "$show")
  SDL_EVENT_LOGGING=1 start_vazu "$show"
  wait_for_window 10
  form=$(xdotool search --name '^Form1$' | head -1)
  root=$(xwininfo -root | awk '/Window id:/ { print $4; exit }')
  sleep 2
  [[ "$(xdotool getwindowfocus)" == "$form" ]] || fail "the show's window does not have the focus"
  wait_for_logged "SDL_WINDOWEVENT_FOCUS_GAINED" 1 3
  local gained_before
  gained_before=$(log_count "SDL_WINDOWEVENT_FOCUS_GAINED")

  # With no window manager the root window is the only other place the focus
  # can go; SDL reports it as the window's focus loss.
  xdotool windowfocus "$root"
  taken=$(now)
  wait_for_logged "SDL_WINDOWEVENT_FOCUS_LOST" 1 5
  echo "   focus loss queued by SDL $(since "$taken") s after the focus went to the root window"
  sleep 0.5
  screenshot "$WORK/unfocused.png"
  echo "   without the focus the centre shows $(pixel "$WORK/unfocused.png" 512 384)"

  xdotool windowfocus "$form"
  given=$(now)
  wait_for_logged "SDL_WINDOWEVENT_FOCUS_GAINED" $((gained_before + 1)) 5
  echo "   focus gain queued by SDL $(since "$given") s after the focus came back"

  # A movie frame within half a second of the focus coming back...
  sleep_until "$(awk -v g="$given" 'BEGIN { printf "%.3f", g + 0.1 }')"
  local first="" at
  while :; do
    at=$(since "$given")
    screenshot "$WORK/back.png"
    centre=$(pixel "$WORK/back.png" 512 384)
    if is_frame "$centre"; then
      first=$centre
      break
    fi
    at_most "$(since "$given")" 0.5 || break
  done
  [[ -n $first ]] || fail "no movie frame on the screen within 0.5 s of the focus coming back (centre $centre)"
  echo "   movie frame $first on the screen $at s after the focus came back"

  # ...and then another one: the chain flips again.
  local end next=""
  end=$(awk -v n="$(now)" 'BEGIN { printf "%.3f", n + 3 }')
  while at_most "$(now)" "$end"; do
    screenshot "$WORK/later.png"
    centre=$(pixel "$WORK/later.png" 512 384)
    is_frame "$centre" || fail "the screen left the movie after the focus came back (centre $centre)"
    if ! near "$centre" "$first" 40; then
      next=$centre
      break
    fi
  done
  [[ -n $next ]] || fail "the picture stood still at $first for 3 s after the focus came back"
  echo "   the next frame $next followed $(since "$given") s after the focus came back"

  press Escape
  wait_for_exit 3
  [[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE after Escape"
  [[ "$(folder_state "$show")" == "$before" ]] || fail "the show folder changed"
  echo "   Escape ended the show with exit code 0"
}

# With no sound device the show plays silent to its own end.
no_sound_device() {
  echo "== no sound device (SDL_AUDIODRIVER=nonexistent)"
  local before ran
  before=$(folder_state "$DEMO")
  E2E_AUDIODRIVER=nonexistent start_vazu "$DEMO"
  wait_for_window 10
  wait_for_exit "$(awk -v s="$START_TIME" -v n="$(now)" 'BEGIN { printf "%.3f", 100 - (n - s) }')"
  ran=$(since "$START_TIME")
  echo "   exit code $EXIT_CODE after $ran s (the movie is 83.6 s)"
  [[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE with no sound device"
  # It played the movie, not just gave up early.
  at_most 80 "$ran" || fail "the show ended after $ran s, before the movie's end"
  # Only SDL's and ALSA's own complaints about the missing device.
  local other
  other=$(grep -v -e '^CRITICAL: ' -e '^ALSA lib' "$WORK/stderr" || true)
  [[ -z $other ]] || fail "unexpected output on standard error: $other"
  echo "   standard error: $(wc -l <"$WORK/stderr") lines (only SDL's and ALSA's are allowed)"
  [[ "$(folder_state "$DEMO")" == "$before" ]] || fail "the demo folder changed"
}

start_x
if [[ $section == quick ]]; then
  sigterm_while_loading
  sigterm_while_playing
  focus_lost_and_regained
else
  no_sound_device
fi
