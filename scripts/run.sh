#!/usr/bin/env bash
# Builds the application (optimised) and starts it. Installs what is missing first.
# Any arguments are handed to the application.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release
cmake --build --preset release --target tolvaran
exec build/release/src/tolvaran "$@"
