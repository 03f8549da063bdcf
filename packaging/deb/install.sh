#!/usr/bin/env bash
# Registers the installed talvero as the systemd service TalveroService with
# its home /var/lib/talvero; the service runs as that folder's owner, talvero.
# Further arguments go to talvero, for example -SILENT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/talvero" -INSTALL --home /var/lib/talvero "$@"
