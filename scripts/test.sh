#!/usr/bin/env bash
# Builds every library and test under AddressSanitizer and UndefinedBehaviorSanitizer and
# runs all the tests, then compiles every source once more with clang (nothing is run: the
# second compiler only catches code that one of them rejects). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset test
cmake --build --preset test
ctest --preset test "$@"
cmake --preset clang
cmake --build --preset clang
