#!/bin/sh
# Remakes this folder from the classifier example: its binary model, compiled
# from the ONNX model with vrax-compile, and its expected.json (the same
# answers, for the classifier's pictures).
#   examples/classifier-binary/regenerate.sh [PATH_TO_VRAX_COMPILE]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
compile=${1:-$here/../../build/simulator/vrax-compile}
"$compile" -o "$here/shapes_classifier.vrax" "$here/../classifier/shapes_classifier.onnx"
python3 - "$here" <<'PYTHON'
import json
import os
import sys

here = sys.argv[1]
with open(os.path.join(here, '..', 'classifier', 'expected.json')) as f:
    expected = json.load(f)
expected['description'] = 'shapes_classifier.xml'
expected['model'] = 'shapes_classifier.vrax'
for entry in expected['pictures'] + [expected.get('binary_image', {})]:
    for key in ('file', 'shows', 'mask'):
        if key in entry:
            entry[key] = '../classifier/' + entry[key]
with open(os.path.join(here, 'expected.json'), 'w') as f:
    json.dump(expected, f, indent=2)
    f.write('\n')
PYTHON
