#!/usr/bin/env bash
# Builds Corvane, installs it into dist/ (a first install gets the demo
# database, user demo / password demo, and myapp.ini) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
bash scripts/build.sh corvane corvane-mkdb arkelle brimlow
cmake --install build --prefix dist >/dev/null
if [ ! -e dist/tax.mdb ]; then
  build/bin/corvane-mkdb --demo dist
fi
build/bin/corvane-mkdb dist
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Corvane on a virtual display (xvfb-run)."
  exec xvfb-run -a dist/corvane
fi
exec dist/corvane
