#!/usr/bin/env bash
# Registers the talvero beside this script as the systemd service TalveroService
# and enables it. Arguments go to talvero, for example: --home /var/lib/talvero
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/talvero" -INSTALL "$@"
