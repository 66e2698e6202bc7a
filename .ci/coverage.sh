#!/usr/bin/env bash
# Line coverage of the conversion code (frame/, texture/, lights/) reached by
# the whole test suite, unit and end-to-end runs alike: a build with gcc's
# --coverage and no sanitizers in build/coverage, then gcovr. Prints the
# table and the total; writes build/coverage/coverage.html for the details.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/coverage

cmake --preset debug -B "$build" -DCMAKE_CXX_FLAGS="--coverage" \
  -DCMAKE_EXE_LINKER_FLAGS="--coverage" --log-level=WARNING >/dev/null
cmake --build "$build" >/dev/null
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" --output-on-failure --no-tests=error -j 2 >"$build/ctest.log" ||
  { cat "$build/ctest.log"; exit 1; }

filters=(--filter 'frame/' --filter 'texture/' --filter 'lights/')
gcovr --root . "${filters[@]}" --html-details "$build/coverage.html" "$build" >/dev/null
gcovr --root . "${filters[@]}" --print-summary "$build"
