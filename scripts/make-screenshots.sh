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
# Each name is a case of tests/e2e/run_e2e.sh; a new screenshot is a new
# case there, its name added here (and a size below when the default does not
# suit it).
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
  # The window's size: the picture is fitted into it, its aspect kept.
  case $kind in
    # Room at the right for the results window, shown over the grey margin.
    classifier) size="1240 560" ;;
    *) size="900 560" ;;
  esac
  # shellcheck disable=SC2086 # the size is two words
  sh tests/e2e/run_e2e.sh "$kind" "$VRAX_APP" "$link/examples" "$work/$kind" \
    --screenshot "$root/docs/screenshots/$kind.png" --screenshot-size $size ||
    { echo "$kind failed; its screens and output are in $work/$kind" >&2; exit 1; }
done
rm -rf "$work"
ls -l docs/screenshots
