#!/usr/bin/env bash
# Installs what is needed, builds everything and runs the whole test suite.
#   BUILD_DIR   build folder (default: build)
#   WERROR=1    treat compiler warnings as errors
#   SANITIZE=1  build with AddressSanitizer and UndefinedBehaviorSanitizer
#   BUILD_TYPE  CMake build type (default: Debug; empty for a quick build without debug information)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE-Debug}" \
    -DCORVANA_WERROR="${WERROR:-0}" -DCORVANA_SANITIZE="${SANITIZE:-0}" -DCORVANA_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
# One throw-away PostgreSQL server for the server-side tests, stopped whatever the tests do.
pg_dir=$(mktemp -d /tmp/corvana-pg-XXXXXX)
trap 'bash scripts/pg-sandbox.sh stop "$pg_dir"; rm -rf "$pg_dir"' EXIT
CORVANA_PG_SOCKET=$(bash scripts/pg-sandbox.sh start "$pg_dir")
export CORVANA_PG_SOCKET
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
