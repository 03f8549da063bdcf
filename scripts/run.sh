#!/usr/bin/env bash
# Builds the receiver and runs the service host in the foreground.
# Extra arguments go to talvero (for example --home DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DTALVERO_TESTS=OFF -DTALVERO_BENCH=OFF
home=${TALVERO_HOME:-$PWD/home}
mkdir -p "$home"
echo "Home folder: $home (logs in $home/Log_Service)"
exec build/release/talvero --service --home "$home" "$@"
