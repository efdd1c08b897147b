#!/usr/bin/env bash
# Runs one Windows executable under the Wine session of a build tree, bounded in time.
#   wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
# The display and prefix come from the session that scripts/wine-session.sh started.
set -u
build_dir=$(cd "$1" && pwd); shift
session=$build_dir/wine-session
export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;${WINEDLLOVERRIDES:-}"
if [ -f "$session/display" ]; then
  export DISPLAY=:$(cat "$session/display")
fi
# Extra variables a test environment asks for (the Vulkan driver of the Direct3D 12 tests, say).
if [ -f "$session/env" ]; then
  set -a; . "$session/env"; set +a
fi
exec timeout --kill-after=10 "${MIVARO_WINE_TIMEOUT:-900}" wine "$@"
