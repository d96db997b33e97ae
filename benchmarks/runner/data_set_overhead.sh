#!/bin/sh
# What scoring a data set adds to a vrax-run: the shape detector's
# validation set listed 25 times (500 pictures, 1200 objects) with
# --dataset, against the same pictures run 500 times without it, in turn
# for ROUNDS rounds; prints wall-clock and CPU seconds of each run and the
# medians' ratios. The evaluation decodes down to confidence 0.001 and
# scores every picture; the plain run decodes at the description's 0.5.
# Usage: benchmarks/runner/data_set_overhead.sh [BUILD_DIR] [ROUNDS]
set -eu
build=${1:-build}
rounds=${2:-5}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
run="$build/runner/vrax-run"
example="$source_dir/examples/yolo3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$example/validation/instances.json" "$work/many.json" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
images, objects = [], []
for copy in range(25):
    for image in data["images"]:
        again = dict(image, id=copy * 100000 + image["id"])
        images.append(again)
        for box in data["annotations"]:
            if box["image_id"] == image["id"]:
                objects.append(dict(box, id=len(objects) + 1, image_id=again["id"]))
data["images"], data["annotations"] = images, objects
json.dump(data, open(sys.argv[2], "w"))
PY

measure() {
  /usr/bin/time -f "%e %U %S" "$@" 2>&1 >/dev/null | tail -n 1
}
for round in $(seq "$rounds"); do
  set -- $(measure "$run" -q --dataset "$work/many.json" --images "$example/validation/images" "$example/shapes_yolo3.xml")
  echo "dataset $1 $2 $3" | tee -a "$work/times"
  set -- $(measure "$run" -q -n 500 "$example/shapes_yolo3.xml" "$example/validation/images")
  echo "plain $1 $2 $3" | tee -a "$work/times"
done
python3 - "$work/times" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
def median(kind, column):
    # Column 1: wall-clock seconds; 2: CPU seconds, user and system.
    values = [float(row[1]) if column == 1 else float(row[2]) + float(row[3]) for row in rows if row[0] == kind]
    return statistics.median(values)
print("medians: dataset %.2f s wall, %.2f s CPU; plain %.2f s wall, %.2f s CPU" % (
    median("dataset", 1), median("dataset", 2), median("plain", 1), median("plain", 2)))
print("dataset / plain: wall %.3f, CPU %.3f" % (
    median("dataset", 1) / median("plain", 1), median("dataset", 2) / median("plain", 2)))
PY
