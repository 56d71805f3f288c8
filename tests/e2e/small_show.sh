#!/usr/bin/env bash
# A small show plays: a frame fills the screen, Escape ends it with exit code 0,
# and the show folder is left exactly as it was.
source "$(dirname "$0")/lib.sh"

start_x
show="$WORK/show"
make_small_show "$show"
before=$(folder_state "$show")

start_vazu "$show"
wait_for_window 10
sleep 2
screenshot "$WORK/playing.png"
centre=$(pixel "$WORK/playing.png" 512 384)
near "$centre" "255 0 0" 40 || near "$centre" "0 255 0" 40 || near "$centre" "0 0 255" 40 ||
  fail "the screen's centre shows $centre, not one of the frames"
# The picture fills the screen: the corners show the frame too.
corner=$(pixel "$WORK/playing.png" 2 2)
near "$corner" "$centre" 40 || fail "corner $corner differs from centre $centre"
echo "playing: the centre shows $centre"

press Escape
wait_for_exit 3
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE after Escape"
[[ "$(folder_state "$show")" == "$before" ]] || fail "the show folder changed"
echo "Escape ended the show with exit code 0"
