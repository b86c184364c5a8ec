#!/usr/bin/env bash
# The test command: sets up, builds, then runs the native tests, the Windows tests under
# Wine inside the network lab (with the camera simulator), and a bounded fuzzing run.
# The lab is removed at the end, also when tests fail.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export LAB_NAME=${LAB_NAME:-lv}
state=$root/build/lab-$LAB_NAME

# The time of each step, for finding where the command's minutes go.
started=$SECONDS
step() { echo "== $1 (at $((SECONDS - started)) s)"; }

bash scripts/setup.sh || exit 1
mkdir -p build
bash scripts/check-source.sh || exit 1

# The lab comes up while the build runs: it mostly waits for Wine to start.
trap 'bash scripts/lab.sh down >/dev/null 2>&1' EXIT
bash scripts/lab.sh up >build/lab-up.log 2>&1 &
lab_up=$!
step "build"
bash scripts/build.sh || exit 1
wait $lab_up || { cat build/lab-up.log; echo "test: the lab did not come up" >&2; exit 1; }
cat build/lab-up.log

fail=0
step "native tests"
ctest --test-dir build/native --output-on-failure --no-tests=error || fail=1

step "camera simulator self-test, in the lab"
bash tools/camsim/selftest.sh build/native || fail=1

step "Windows tests under Wine, in the lab"
# Without the simulator the window tests would fail one by one, far from the cause: stop here.
[ -x build/native/tools/camsim/camsim ] ||
  { echo "test: build/native/tools/camsim/camsim was not built" >&2; exit 1; }
bash scripts/lab.sh cam build/native/tools/camsim/camsim --control 8700 \
     --log "$state/camsim.log" >"$state/camsim.out" 2>&1 &
disown $! # it ends with the lab; no job notice then
# Two at a time: the entries' locks (tests/CMakeLists.txt) keep programs that share a folder's
# files, the display or the simulator and the tool's ports apart. The lab is up (its prefix
# initialised) before the first one starts.
bash scripts/lab.sh tool ctest --test-dir build/win --output-on-failure --no-tests=error \
     -j"${TEST_JOBS:-2}" || fail=1

step "gallery screenshot"
bash scripts/gallery-shot.sh build/win/tools/gallery/lv_gallery.exe || fail=1

step "fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-20}" || fail=1

step "end"
[ -d build/artifacts ] && echo "artefacts: $root/build/artifacts"
exit $fail
