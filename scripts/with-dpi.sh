#!/usr/bin/env bash
# Runs one program at another display scale under Wine:
#
#   with-dpi.sh DPI [--desktop WxH] COMMAND...
#
# Wine reads HKCU\Control Panel\Desktop LogPixels when a process starts, so the value is set in
# the prefix for the run and put back (as it was, or no value) however the run ends, since other
# programs share the prefix. --desktop runs the program's Wine executable (the word after
# COMMAND's "wine") in a virtual desktop of that size, a display of another size than the X
# screen. Run inside the lab (lab.sh tool), as any Wine program.
set -euo pipefail

dpi=${1:?usage: with-dpi.sh DPI [--desktop WxH] COMMAND...}
shift
desktop=""
if [ "${1:-}" = --desktop ]; then
  desktop=${2:?--desktop needs WxH}
  shift 2
fi
key='HKCU\Control Panel\Desktop'

previous=$(wine reg query "$key" /v LogPixels 2>/dev/null | tr -d '\r' |
           awk '$1 == "LogPixels" {print $3}' || true)
restore() {
  if [ -n "$previous" ]; then
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$((previous))" /f > /dev/null 2>&1 || true
  else
    wine reg delete "$key" /v LogPixels /f > /dev/null 2>&1 || true
  fi
}
trap restore EXIT
wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f > /dev/null

if [ -n "$desktop" ]; then
  [ "${1:-}" = wine ] || { echo "with-dpi: --desktop needs COMMAND to start with wine" >&2; exit 2; }
  shift
  wine explorer "/desktop=lvdpi$dpi,$desktop" "$@"
else
  "$@"
fi
