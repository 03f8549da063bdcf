#!/usr/bin/env bash
# Builds the receiver and runs the service host in the foreground, or with
# --monitor first the operator monitor, or with --console the service console.
# Further arguments go to talvero (for example --dev-dir DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release -DTALVERO_TESTS=OFF -DTALVERO_BENCH=OFF
home=${TALVERO_HOME:-$PWD/home}
mkdir -p "$home"
mode=(--service)
case ${1:-} in
  --monitor)
    mode=(--monitor)
    shift
    mkdir -p "$home/Resources"
    ;;
  --console)
    mode=()
    shift
    mkdir -p "$home/Resources"
    ;;
esac
echo "Home folder: $home"
exec build/release/talvero "${mode[@]}" --home "$home" "$@"
