#!/bin/sh
# Makes examples/video/shapes.avi from the detector example's pictures (needs
# a C++ compiler and Debian's libopencv-videoio-dev).
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
tool="$(mktemp -d)"
trap 'rm -rf "$tool"' EXIT
c++ -O2 -std=c++17 -o "$tool/make_video" "$here/make_video.cpp" \
  -I/usr/include/opencv4 $(for d in /usr/include/*-linux-gnu/opencv4; do echo "-I$d"; done) \
  -lopencv_videoio -lopencv_imgcodecs -lopencv_imgproc -lopencv_core
pictures="$here/../yolo3/pictures"
"$tool/make_video" "$here/shapes.avi" \
  "$pictures/plain_three_shapes.png" "$pictures/stripes_two_shapes.png" "$pictures/blotches_four_shapes.png"
ls -l "$here/shapes.avi"
