#!/bin/sh
# Builds the Debian package from the build in ./build (or VRAX_PACKAGE_BUILD_DIR),
# checks it with lintian, unpacks it into a scratch root and runs from there
# what the package's users run: the commands, every installed example opened
# by the installed application without a window, and a program of a runtime
# user built on the installed headers and libraries through pkg-config and
# through CMake's find_package. Needs the packages of scripts/install-deps.sh.
set -eu
cd "$(dirname "$0")/.."
src=$(pwd)
build=${VRAX_PACKAGE_BUILD_DIR:-$src/build}
start=$(date +%s)

cmake --build "$build" --target package --parallel 2 >"$build/package.log" 2>&1 ||
  { cat "$build/package.log"; echo "package-test: building the package failed" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
deb=$(ls "$build"/vraxgui_"$version"_*.deb)
echo "package-test: built $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB) in $(( $(date +%s) - start )) s"

work=$(mktemp -d "${TMPDIR:-/tmp}/vrax-package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "package-test: FAILED: $*" >&2
  failures=$((failures + 1))
}

# Lintian: errors fail the test; warnings and notes are listed.
if lintian --fail-on error --display-info "$deb" >"$work/lintian.txt" 2>&1; then
  echo "package-test: lintian: $(grep -c '^E:' "$work/lintian.txt") errors," \
    "$(grep -c '^W:' "$work/lintian.txt") warnings, $(grep -c '^[IP]:' "$work/lintian.txt") notes"
  sed 's/^/  /' "$work/lintian.txt"
else
  cat "$work/lintian.txt" >&2
  fail "lintian reports errors"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr
libdir=$usr/lib/$(gcc -print-multiarch)
examples=$usr/share/vraxgui/examples
export LD_LIBRARY_PATH="$libdir"
export QT_QPA_PLATFORM=offscreen
# The installed commands keep their settings here, not in the user's own.
export XDG_CONFIG_HOME="$work/config"

# The layout a user relies on.
for file in bin/vraxgui bin/vrax-compile include/vrax/vrax.h include/vrax/vrax_compiler.h \
    include/vrax/vrax_sim.h share/man/man1/vraxgui.1.gz share/man/man1/vrax-compile.1.gz \
    share/applications/org.vraxgui.VraxGui.desktop share/metainfo/org.vraxgui.VraxGui.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.vraxgui.VraxGui.svg share/doc/vraxgui/copyright; do
  [ -e "$usr/$file" ] || fail "usr/$file is missing"
done
for command in "$usr"/bin/*; do
  [ -e "$usr/share/man/man1/$(basename "$command").1.gz" ] || fail "$(basename "$command") has no manual page"
done
for lib in vrax vrax_compiler; do
  [ "$(readlink "$libdir/lib$lib.so")" = "lib$lib.so.1" ] || fail "lib$lib.so is not a link to lib$lib.so.1"
  objdump -p "$libdir/lib$lib.so.1" | grep -q "SONAME *lib$lib.so.1\$" || fail "lib$lib.so.1 lacks its SONAME"
done
for binary in "$usr"/bin/* "$libdir"/lib*.so.1; do
  ! readelf -d "$binary" | grep -q -E 'RPATH|RUNPATH' || fail "$binary carries a library search path"
done
grep -q "version=\"$version\"" "$usr/share/metainfo/org.vraxgui.VraxGui.metainfo.xml" ||
  fail "the metainfo lists no release $version"

# Command lines: version, usage error, compiling a bundled example to what ships.
expect() { # expect STATUS TEXT COMMAND...: runs COMMAND, checks its status and output
  status=$1 text=$2
  shift 2
  got=0
  "$@" >"$work/out.txt" 2>&1 || got=$?
  if [ "$got" -ne "$status" ] || ! grep -q -e "$text" "$work/out.txt"; then
    sed 's/^/  /' "$work/out.txt" >&2
    fail "$(basename "$1") ${2:-}...: status $got (expected $status), output lacks \"$text\""
  fi
}
expect 0 "^vraxgui $version\$" "$usr/bin/vraxgui" --version
expect 2 "Unknown option" "$usr/bin/vraxgui" --no-such-option
expect 0 "^vrax-compile $version\$" "$usr/bin/vrax-compile" --version
# vrax-eval and the validation set an example ships with: its own boxes score 1.
expect 0 "^vrax-eval $version\$" "$usr/bin/vrax-eval" --version
python3 -c 'import json, sys; print(json.dumps([dict(image_id=a["image_id"], category_id=a["category_id"],
    bbox=a["bbox"], score=1) for a in json.load(open(sys.argv[1]))["annotations"]]))' \
  "$usr/share/vraxgui/examples/yolo3/validation/instances.json" >"$work/perfect.json"
expect 0 "^AP      1.000" "$usr/bin/vrax-eval" "$usr/share/vraxgui/examples/yolo3/validation/instances.json" \
  "$work/perfect.json"
expect 0 "wrote $work/classifier.vrax" "$usr/bin/vrax-compile" -o "$work/classifier.vrax" \
  "$examples/classifier/shapes_classifier.onnx"
cmp -s "$work/classifier.vrax" "$examples/classifier-binary/shapes_classifier.vrax" ||
  fail "vrax-compile's classifier differs from the bundled binary model"

# Each installed example, opened and run by the installed application.
checked=0
for description in "$examples"/*/*.xml; do
  folder=$(dirname "$description")
  [ -d "$folder/pictures" ] || folder=$examples/classifier # the binary model's pictures
  expect 0 "picture: .*\\.png" "$usr/bin/vraxgui" --check "$description" "$folder"/pictures/*.png
  checked=$((checked + 1))
done
[ "$checked" -ge 7 ] || fail "only $checked example descriptions installed"

# vrax-run as the examples of its manual page run it, from the installed examples.
expect 0 "^frames  *500\$" "$usr/bin/vrax-run" "$examples/yolo3/shapes_yolo3.xml" "$examples/yolo3/pictures" \
  -n 500 --json "$work/out.json" --results "$work/out.jsonl"
expect 0 "^agreement" env VRAX_BOARDS=2:1 VRAX_SIM_PRECISION=2:int8 "$usr/bin/vrax-run" -b 2 --compare-with 0 \
  --min-agreement 0.99 "$examples/unet/shapes_unet.xml" "$examples/unet/pictures"

# A runtime user's program, built through pkg-config and through find_package.
PKG_CONFIG_PATH=$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root \
  pkg-config --modversion vrax >"$work/pc-version.txt" 2>&1 || fail "pkg-config cannot find vrax"
[ "$(cat "$work/pc-version.txt")" = "$version" ] || fail "pkg-config says vrax $(cat "$work/pc-version.txt")"
flags=$(PKG_CONFIG_PATH=$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root pkg-config --cflags --libs vrax vrax-compiler)
# shellcheck disable=SC2086 # the flags are words
cc -std=c99 -Wall -Wextra -Werror -o "$work/runtime_user_pc" tests/package/runtime_user.c $flags ||
  fail "the program does not build through pkg-config"
expect 0 "class star" "$work/runtime_user_pc" "$version" "$examples"
cmake -S tests/package -B "$work/user-build" -G Ninja -DCMAKE_PREFIX_PATH="$usr" \
  -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >"$work/user-cmake.txt" 2>&1 &&
  cmake --build "$work/user-build" >>"$work/user-cmake.txt" 2>&1 ||
  { cat "$work/user-cmake.txt" >&2; fail "the program does not build through find_package"; }
expect 0 "class star" "$work/user-build/runtime_user" "$version" "$examples"

echo "package-test: $checked examples checked, total $(( $(date +%s) - start )) s"
if [ "$failures" -ne 0 ]; then
  echo "package-test: $failures failures" >&2
  exit 1
fi
echo "package-test: the package installs and works"
