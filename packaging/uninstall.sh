#!/usr/bin/env bash
# Disables and removes the systemd service TalveroService.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/talvero" -UNINSTALL "$@"
