#!/usr/bin/env bash
# Installs the dependencies, then builds and runs the whole test suite twice: a normal
# build and one with AddressSanitizer and UndefinedBehaviorSanitizer. Fails when a
# source file is not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${PICTROVE_SKIP_DEPS:-0}" != 1 ]; then scripts/install-deps.sh; fi

echo "== format check"
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror

jobs=$(nproc)
echo "== normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPICTROVE_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
echo "== all tests passed"
