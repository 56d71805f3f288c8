#!/usr/bin/env bash
# The whole demo from its start to its own close: exit code 0, and the songs
# change where the timeline puts them (40.2 s, 69.0 s and 81.0 s of the 83.6 s
# movie), measured in the sound the program really played.
source "$(dirname "$0")/lib.sh"
AUDIO_CUES=${AUDIO_CUES:?AUDIO_CUES names the cue finder}

start_x
before=$(folder_state "$DEMO")
start_vazu "$DEMO"
wait_for_exit 150
end_time=$(date +%s.%N)
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE"
[[ "$(folder_state "$DEMO")" == "$before" ]] || fail "the show folder changed"
awk -v s="$START_TIME" -v e="$end_time" 'BEGIN { printf "program ran %.1f s from start to exit\n", e - s }'

"$AUDIO_CUES" "$WORK/audio.raw" "$DEMO" >"$WORK/cues" || fail "the cue finder failed"
echo "--- songs heard (seconds into the captured sound):"
cat "$WORK/cues"

# Expected: the title during loading, then the movie's songs in their order.
order=$(awk '$1 != "end" { printf "%s ", $2 }' "$WORK/cues")
[[ "$order" == "title.mp3 vazu.mp3 vazu1.mp3 title.mp3 vazu2.mp3 " ]] ||
  fail "songs heard in the order: $order"

awk '
  $1 == "end" { end = $2; next }
  { t[++n] = $1 }
  END {
    start = t[2]; length_ = end - start
    printf "movie: %.2f s (nominal 83.60)\n", length_
    split("40.2 69.0 81.0", nominal, " ")
    bad = 0
    for (i = 1; i <= 3; i++) {
      at = t[i + 2] - start
      # The captured sound is paced by the sound driver, not by the wall clock:
      # compare each change with the movie length it was heard in.
      share = at / length_; expected = nominal[i] / 83.6
      printf "song change %d at %.2f s (nominal %.1f s), %.4f of the movie (expected %.4f)\n", i, at, nominal[i], share, expected
      if (share - expected > 0.01 || expected - share > 0.01) bad = 1
    }
    if (length_ < 78 || length_ > 92) bad = 1
    exit bad
  }' "$WORK/cues" || fail "the songs did not change where the timeline puts them"
