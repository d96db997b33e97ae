#!/bin/sh
# Installs what a fresh Debian 12 machine lacks to build, run and test VRAX GUI.
# Run as root (or through sudo).
set -eu
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  qtbase5-dev qtbase5-dev-tools libqt5test5 \
  qt5-image-formats-plugins \
  libtinyxml2-dev locales \
  libopencv-dnn-dev libopencv-imgproc-dev libopencv-core-dev libopencv-videoio-dev libopencv-imgcodecs-dev \
  libonnx-dev libprotobuf-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  clang libfuzzer-14-dev libclang-rt-14-dev \
  xvfb xauth openbox xdotool x11-apps x11-utils imagemagick fonts-dejavu-core \
  python3 tesseract-ocr tesseract-ocr-eng \
  dpkg-dev file lintian \
  libsimdjson-dev libyaml-cpp-dev python3-numpy \
  libqt5charts5-dev \
  >/dev/null
