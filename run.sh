#!/usr/bin/env bash
# Builds the program and plays a show: the built-in demo (made once into
# build/demo), or the show folder given as the argument (a folder holding data/).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
scripts/ensure-packages.sh
scripts/build.sh vazu vazu-demo

if [[ $# -ge 1 ]]; then
  show=$(cd "$1" && pwd)
  [[ -d "$show/data" ]] || { echo "run.sh: $1 holds no data folder" >&2; exit 1; }
else
  show="$root/build/demo"
  if [[ ! -f "$show/data/scene.dat" ]]; then
    echo "Making the demo show in build/demo ..."
    "$root/build/tools/vazu-demo" "$show"
  fi
fi

cd "$show"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${SDL_VIDEODRIVER:-}" ]]; then
  echo "No display found: playing headless (on a virtual screen, sound as the machine allows)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/vazu"
fi
exec "$root/build/vazu"
