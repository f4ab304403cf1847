#!/usr/bin/env bash
# Installs the missing dependencies, then builds and runs the whole test suite twice: a
# normal build (preset dev) and one with AddressSanitizer and UndefinedBehaviorSanitizer
# (preset asan); then the tests of the paths that run on several threads (label
# parallel) once more with ThreadSanitizer (preset tsan, which builds only them). Fails when a source file is not formatted as .clang-format says. The
# normal build is also installed into a temporary folder and packaged, and what that
# gives is checked (scripts/check-install.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${PICTROVE_SKIP_DEPS:-0}" != 1 ]; then scripts/install-deps.sh; fi

echo "== format check"
git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror

jobs=$(nproc)
echo "== normal build"
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"

echo "== installation and package"
scripts/check-install.sh build

echo "== sanitizer build"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

echo "== thread sanitizer build (the tests labelled parallel)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs"

echo "== all tests passed"
