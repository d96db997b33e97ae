#!/bin/sh
# Makes the README screenshots (docs/screenshots/*.png): each example network
# kind on the simulator after one Run, as the end-to-end tests drive it, in a
# virtual X server. Needs the packages of scripts/install-deps.sh.
#   scripts/make-screenshots.sh [KIND...]     (default: every kind)
# VRAX_APP names another vraxgui binary (default: build it in ./build).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
if [ -z "${VRAX_APP:-}" ]; then
  ./scripts/build.sh >/dev/null
  VRAX_APP=$root/build/app/vraxgui
fi
[ $# -gt 0 ] || set -- yolo3 yolo2 yolo3-darknet yolo5 unet classifier video

# The status line shows absolute paths: a short one reads better than this
# checkout's. The examples are reached through a link at /tmp/vraxgui.
link=/tmp/vraxgui
if [ -e "$link" ] && [ ! -L "$link" ]; then
  echo "$link exists and is not a link; remove it first" >&2
  exit 1
fi
ln -sfn "$root" "$link"
work=$(mktemp -d)
trap 'rm -f "$link"' EXIT

for kind in "$@"; do
  # Height: the picture (network input size), the menu and the status line.
  case $kind in
    yolo5) size="1000 220" ;;
    unet) size="1000 170" ;;
    video) size="1000 330" ;;
    *) size="1000 250" ;;
  esac
  # shellcheck disable=SC2086 # the size is two words
  sh tests/e2e/run_e2e.sh "$kind" "$VRAX_APP" "$link/examples" "$work/$kind" \
    --screenshot "$root/docs/screenshots/$kind.png" --screenshot-size $size ||
    { echo "$kind failed; its screens and output are in $work/$kind" >&2; exit 1; }
done
rm -rf "$work"
ls -l docs/screenshots
