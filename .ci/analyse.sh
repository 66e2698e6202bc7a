#!/usr/bin/env bash
# Static analysis of the programs and the fuzz targets: clang-tidy with the
# repository's .clang-tidy, then cppcheck with .ci/cppcheck-suppressions.txt.
# Any finding fails. Needs the compile commands of the debug preset, which
# it configures when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

[ -f build/debug/compile_commands.json ] || cmake --preset debug --log-level=WARNING >/dev/null

mapfile -t sources < <(find frame texture lights fuzz -name '*.cpp' | sort)

echo "clang-tidy: ${#sources[@]} files"
printf '%s\n' "${sources[@]}" | xargs -P 2 -n 2 clang-tidy -p build/debug --quiet 2>/dev/null

echo "cppcheck"
cppcheck --std=c++17 --language=c++ --enable=warning,style,performance,portability \
  --inline-suppr --suppressions-list=.ci/cppcheck-suppressions.txt --error-exitcode=1 \
  --quiet -I frame -I texture -I lights frame texture lights fuzz
echo "no findings"
