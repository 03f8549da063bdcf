#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are
# missing, and the browser tests' npm packages.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config clang-format
  clang libclang-rt-14-dev
  libboost-dev libfmt-dev nlohmann-json3-dev libsystemd-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  strace systemd dbus-daemon
  dpkg-dev adduser passwd
  chromium
)
# Node.js only when the machine has none (its own is newer than Debian's).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# playwright-core drives Debian's Chromium (/usr/bin/chromium) and downloads no
# browser of its own; it is installed into tests/browser/ from the lock file.
if [[ ! -f tests/browser/node_modules/.package-lock.json ||
      tests/browser/package-lock.json -nt tests/browser/node_modules/.package-lock.json ]]; then
  (cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
fi
