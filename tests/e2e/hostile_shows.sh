#!/usr/bin/env bash
# Hostile show folders: each either reports a clear error or plays, never dies
# of a signal, and leaves the folder (and anything it names) byte for byte as
# it was. Escape ends every one with exit code 0.
source "$(dirname "$0")/lib.sh"

start_x

# A JPEG whose header claims 65500 x 65500 pixels: the frame's size fields patched.
huge_jpeg() {
  local file=$1 sof
  sof=$(LC_ALL=C grep -obUaP '\xff\xc0' "$file" | head -1 | cut -d: -f1)
  printf '\xff\xdc\xff\xdc' | dd of="$file" bs=1 seek=$((sof + 5)) conv=notrunc status=none
}

# A scene script whose second line is a 20 MB number.
long_scene_line() {
  printf '0 1\r\n7 '
  head -c 20000000 /dev/zero | tr '\0' 9
  printf '\r\n'
}

# name | how the show is broken | what the user is told ("plays" when it plays)
cases=(
  "binary garbage as scene script (the message ends at its first NUL byte)|head -c 4096 data/red.jpg >data/scene.dat|vazu: '"
  "a 20 MB scene line|long_scene_line >data/scene.dat|ist kein gültiger Integerwert."
  "slot 2147483647|printf '0 1\\r\\n2147483647 1\\r\\n' >data/scene.dat|Zu wenig Arbeitsspeicher."
  "negative slot|printf '0 1\\r\\n-5 1\\r\\n' >data/scene.dat|Fehler bei Bereichsprüfung."
  "frame 0|printf '0 0\\r\\n382 1\\r\\n' >data/scene.dat|plays"
  "frame past the end of the list|printf '0 100\\r\\n382 1\\r\\n' >data/scene.dat|plays"
  "JPEG header claiming 65500x65500|huge_jpeg data/green.jpg|JPEG-Fehler #"
  "truncated MP3|head -c 3000 data/vazu.mp3 >data/cut.mp3; mv data/cut.mp3 data/vazu.mp3|plays"
  "zero-byte MP3|: >data/vazu.mp3; : >data/title.mp3|plays"
  "folder where the scene script belongs|rm data/scene.dat; mkdir data/scene.dat|Dateizugriff verweigert."
  "folder where a frame belongs|rm data/blue.jpg; mkdir data/blue.jpg|Datei data/blue.jpg kann nicht geöffnet werden."
  "symbolic link loop as frame list|rm data/frames.dat; ln -s frames.dat data/frames.dat|E/A-Fehler 1921."
  "frame list naming a file outside the show|printf 'red.jpg\\r\\n../../../outside.jpg\\r\\nblue.jpg\\r\\n' >data/frames.dat|plays"
)

convert -size 640x480 xc:'#ffff00' -quality 95 "$WORK/outside.jpg"
outside_before=$(sha256sum "$WORK/outside.jpg")

n=0
for row in "${cases[@]}"; do
  IFS='|' read -r name breakage message <<<"$row"
  n=$((n + 1))
  echo "== $name"
  show="$WORK/shows/show$n"
  make_broken_show "$show" "$breakage"

  start_vazu "$show"
  if [[ $message == plays ]]; then
    wait_for_window 10
    sleep 2
    alive || fail "$name: the program ended"
    grep -v -e '^CRITICAL: ' -e '^ALSA lib' "$WORK/stderr" | grep -q . && fail "$name: unexpected output"
  else
    wait_for_stderr "$message" 30
    sleep 0.5
    alive || fail "$name: the program did not wait"
    dismiss_box vazu
  fi
  press Escape
  expect_clean_exit "$show" 5 "$name"
  rm -rf "$show"
  echo "   $message; Escape ended it with exit code 0; folder unchanged"
done
[[ "$(sha256sum "$WORK/outside.jpg")" == "$outside_before" ]] || fail "the file outside the show changed"
