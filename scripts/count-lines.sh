#!/bin/sh
# Counts the lines of code kept in git, in three parts: the product (the
# application, its libraries and the simulator), the tests (tests/, end-to-end
# scripts included) and the rest (benchmarks, fuzzers, example training,
# scripts). Prints each part and the tests' share of the whole.
set -eu
cd "$(dirname "$0")/.."

code_files() {
    git ls-files -- "$@" | grep -E '(\.(cpp|h|c|py|sh|cmake)|(^|/)CMakeLists\.txt)$' || true
}

count() {
    files=$(cat)
    if [ -z "$files" ]; then echo 0; return; fi
    # shellcheck disable=SC2086
    cat $files | wc -l
}

product=$(code_files accel app description files picture sources engine measuring outputs workbench results tensor runner evaluation simulator cmake CMakeLists.txt \
          | grep -v '^simulator/fuzz/' | count)
tests=$(code_files tests | count)
other=$(code_files benchmarks fuzz simulator/fuzz examples scripts | count)
all=$((product + tests + other))

echo "product $product"
echo "tests   $tests"
echo "other   $other"
echo "all     $all"
awk -v t="$tests" -v a="$all" -v p="$product" \
    'BEGIN { printf "tests / all %.3f, tests / product %.2f\n", t / a, t / p }'
