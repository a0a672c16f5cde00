#!/usr/bin/env bash
# Runs one GUI test program on a private X server, with HOME in a temporary
# folder so that FLTK's preference files never land in the real home.
set -euo pipefail
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home"
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
