#!/bin/sh
# Runs one end-to-end case of VRAX GUI in a virtual X server:
#   run_e2e.sh CASE APP EXAMPLES_DIR WORK_DIR [driver options...]
# Exits 77 (skipped) when the X server, the window manager or the tools that
# drive and read the screen are not installed.
set -u
case_name=$1 app=$2 examples=$3 work=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)

missing=
for tool in xvfb-run Xvfb xauth openbox xdotool xwininfo xprop xwd convert tesseract python3; do
  command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
  echo "SKIPPED: not installed:$missing (scripts/install-deps.sh installs them)"
  exit 77
fi

# xvfb-run ends the X server when the driver returns; the driver ends the
# application and the window manager itself, even when a check fails, and
# notes the server's process so that it is ended here should xvfb-run leave
# it behind. Display numbers are looked for from a number of this process's
# own, so that runs started together (by other users too) rarely meet; when
# the X server or the window manager does not come up, the case is tried
# again on another display.
first_display=$((100 + $$ % 800))
for attempt in 1 2 3; do
  rm -rf "$work" && mkdir -p "$work" || exit 1
  xvfb-run -a -n "$first_display" -e "$work/xvfb.log" -s "-screen 0 2400x1400x24 -nolisten tcp" \
    python3 -B "$here/vrax_e2e.py" "$case_name" --app "$app" --examples "$examples" --work "$work" "$@"
  status=$?
  if [ -f "$work/xvfb.pid" ]; then
    server=$(cat "$work/xvfb.pid")
    if kill -0 "$server" 2>/dev/null && grep -q Xvfb "/proc/$server/cmdline" 2>/dev/null; then
      kill "$server"
    fi
  fi
  # 3: the driver found no desktop; no started mark: xvfb-run failed itself.
  if [ "$status" -ne 3 ] && { [ "$status" -eq 0 ] || [ -f "$work/driver.started" ]; }; then
    exit "$status"
  fi
  echo "no X desktop on attempt $attempt; trying another display"
  first_display=$((first_display + 37))
done
exit 1
