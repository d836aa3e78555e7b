#!/usr/bin/env bash
# Builds every library and test under AddressSanitizer and UndefinedBehaviorSanitizer and
# runs all the tests. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset test
cmake --build --preset test
ctest --preset test "$@"
