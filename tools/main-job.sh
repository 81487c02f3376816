#!/bin/sh
# The main job for a new user: the desktop application, which offers the bundled sample backups
# when the user has none and falls back to the command line without a display. In a build without
# the GUI, the command line lists the backups and scans the first one.
set -eu
BUILD="${1:-build}"
if [ -x "$BUILD/src/app/quarrow" ]; then
    exec "$BUILD/src/app/quarrow"
fi
CLI="$BUILD/src/cli/quarrow-cli"
ROOT="${QUARROW_BACKUP_ROOT:-$HOME/Library/Application Support/MobileSync/Backup}"
if ! "$CLI" backups --json --root "$ROOT" 2>/dev/null | grep -q backUpFilePath; then
    echo "No backups in $ROOT; using the bundled samples." >&2
    ROOT="$BUILD/samples/Backup"
fi
"$CLI" backups --root "$ROOT"
FIRST=$("$CLI" backups --json --root "$ROOT" | sed -n 's/.*"backUpFilePath": "\([^"]*\)".*/\1/p' | head -n 1)
exec "$CLI" scan "$FIRST"
