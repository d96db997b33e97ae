#!/bin/sh
# Builds VRAX GUI and starts it on the simulator. Arguments, if any, are passed
# to the application: vraxgui [DESCRIPTION [PICTURE...]]; without any, the
# shape detector example opens.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh >/dev/null
if [ $# -eq 0 ]; then
  set -- examples/yolo3/shapes_yolo3.xml examples/yolo3/pictures/*.png
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available (DISPLAY is not set), so the window cannot be shown." >&2
  echo "To run on a virtual X server instead:" >&2
  echo "  xvfb-run -a -s '-screen 0 1600x1000x24' ./build/app/vraxgui $*" >&2
  exit 1
fi
exec ./build/app/vraxgui "$@"
