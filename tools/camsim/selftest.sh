#!/usr/bin/env bash
# Runs the camera simulator's lab self-test in an existing lab: starts camsim in the camera
# side, runs camsim_selftest --lab on the tool side, stops camsim.
#
#   LAB_NAME=x tools/camsim/selftest.sh [BUILD_DIR]      (BUILD_DIR default: build/native)
#
# Uses control port 8701, so it does not take the port of a simulator started for the
# Windows tests; it refuses to run while another simulator holds UDP 8628 in that lab.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
export LAB_NAME=${LAB_NAME:-lv}
build=${1:-build/native}
bin=$build/tools/camsim
state=$root/build/lab-$LAB_NAME
port=8701
lab() { bash scripts/lab.sh "$@"; }

for exe in camsim camsim_selftest; do
  [ -x "$bin/$exe" ] || { echo "selftest: $bin/$exe is not built" >&2; exit 1; }
done
ip netns list | awk '{print $1}' | grep -qx "$LAB_NAME-cam" ||
  { echo "selftest: lab $LAB_NAME is not up (LAB_NAME=$LAB_NAME scripts/lab.sh up)" >&2; exit 1; }
if lab cam ss -Hlun "sport = :8628" | grep -q .; then
  echo "selftest: another simulator already listens on UDP 8628 in lab $LAB_NAME" >&2
  exit 1
fi

mkdir -p "$state"
log=$state/camsim-selftest.log
: >"$log"
lab cam "$bin/camsim" --control $port --log "$log" >"$state/camsim-selftest.out" 2>&1 &
sim=$!
stop() {
  # Ask it to stop over its control port; fall back to ending the process we started.
  lab tool bash -c "exec 3<>/dev/tcp/198.18.1.2/$port && echo shutdown >&3 && head -n1 <&3" \
    >/dev/null 2>&1 || kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
}
trap stop EXIT

rc=0
lab tool "$bin/camsim_selftest" --lab $port || rc=$?
if [ $rc != 0 ]; then
  echo "selftest: failed; simulator output:" >&2
  cat "$state/camsim-selftest.out" >&2
fi
exit $rc
