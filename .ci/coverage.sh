#!/usr/bin/env bash
# Line coverage of the conversion code (frame/, texture/, lights/) reached by
# the whole test suite, unit and end-to-end runs alike: the coverage preset
# (gcc --coverage, no sanitizers) built and tested in build/coverage, then
# gcovr. Prints the table and the total; writes build/coverage/coverage.html
# for the details.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/coverage

cmake --preset coverage --log-level=WARNING >/dev/null
cmake --build --preset coverage >/dev/null
# Counts of an earlier run would add to this one's.
[ -d "$build" ] && find "$build" -name '*.gcda' -delete
ctest --preset coverage >"$build/ctest.log" || { cat "$build/ctest.log"; exit 1; }

filters=(--filter 'frame/' --filter 'texture/' --filter 'lights/')
gcovr --root . "${filters[@]}" --html-details "$build/coverage.html" "$build" >/dev/null
gcovr --root . "${filters[@]}" --print-summary "$build"
