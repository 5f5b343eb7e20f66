#!/usr/bin/env bash
# Installs what is missing, builds the program folder (build/bin) and what an
# install takes besides (manual pages, changelog), then starts the wizard.
# Without a display ($DISPLAY and $WAYLAND_DISPLAY both empty) the wizard runs
# inside a virtual X server (xvfb-run), which this script says.
# Arguments are handed on to the wizard's Qt start-up (e.g. -platform offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${QVX_JOBS:-$(nproc)}

bash scripts/setup.sh

cmake -S "$ROOT" -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS" --target qvx_installed_files

PROGRAM="$ROOT/build/bin/QVXWizard"
if [ ! -x "$PROGRAM" ]; then
  echo "run: $PROGRAM was not built" >&2
  exit 1
fi

# Started in its program folder, as a file manager would; the trace log goes
# there too (beside the program in a build folder, never the current folder).
cd "$ROOT/build/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display found (DISPLAY and WAYLAND_DISPLAY are empty); starting the wizard under xvfb-run" >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$PROGRAM" "$@"
fi
exec "$PROGRAM" "$@"
