#!/bin/sh
# with-xvfb.sh COMMAND [ARGS...]
# Runs COMMAND with DISPLAY set to a private Xvfb server started for it (a
# free display number chosen by the server), and stops the server afterwards.
# Used for the Windows view test: wine's windows and its OpenGL (on Mesa's GLX)
# need an X server. When WINEPREFIX is set, waits for that prefix's wine
# processes to end before stopping the server, so none of them loses its
# display while still running. Exits 77 (a skip to CTest) without Xvfb.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with-xvfb.sh: Xvfb not found: install xvfb (scripts/setup.sh does)" >&2
  exit 77
fi
dir=$(mktemp -d) || exit 1
mkfifo "$dir/displayfd" || exit 1
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/displayfd" >"$dir/xvfb.log" 2>&1 &
xvfb=$!
# The server writes its display number once it accepts connections.
display=$(timeout 30 head -n 1 "$dir/displayfd")
if [ -z "$display" ]; then
  echo "with-xvfb.sh: Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  kill "$xvfb" 2>/dev/null
  rm -rf "$dir"
  exit 1
fi
DISPLAY=":$display" "$@"
rc=$?
if [ -n "${WINEPREFIX:-}" ] && command -v wineserver >/dev/null 2>&1; then
  timeout 60 wineserver -w
fi
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$dir"
exit $rc
