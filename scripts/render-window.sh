#!/usr/bin/env bash
# Renders the window under Xvfb, with a real cast loaded, to docs/window.png, and its Profile
# window, with another real cast as the reference, to docs/profile.png.
#   scripts/render-window.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if ! command -v xvfb-run >/dev/null; then
    echo "render-window.sh: needs xvfb-run (apt-get install xvfb xauth)" >&2
    exit 1
fi
cmake --build "$build" --target render_window
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
    env QT_QPA_PLATFORM=xcb "$build/tools/render_window" tests/data/casts/rev205_deneb.TOB docs/window.png \
    docs/profile.png tests/data/casts/rev183_duplicate_press.TOB
echo "render-window.sh: wrote docs/window.png and docs/profile.png"
