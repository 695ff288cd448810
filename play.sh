#!/usr/bin/env bash
# Builds the game and starts it on the current X11 desktop. Arguments are passed to the game
# (for example: ./play.sh -Tovik 100).
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps build game
cmake --preset linux >/dev/null
cmake --build --preset linux -j 2 --target vortrane

if [[ -z "${DISPLAY:-}" ]]; then
  echo "The game needs an X11 desktop: no DISPLAY is set. Start it from a desktop session." >&2
  exit 1
fi
exec build/linux/vortrane "$@"
