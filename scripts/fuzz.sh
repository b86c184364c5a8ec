#!/usr/bin/env bash
# Runs the wire-message fuzz target for SECONDS (default 20) from the native build.
# Exits non-zero when the target crashes or a check in it fails; the crashing input is kept
# in build/artifacts/fuzz/.
#   FUZZ_BUILD_DIR  the native (clang) build directory, default build/native
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-20}
build=${FUZZ_BUILD_DIR:-$root/build/native}
fuzzer=$build/fuzz/lv_fuzz_wire

if [ ! -x "$fuzzer" ]; then
  cmake --build "$build" --target lv_fuzz_wire -j2 >/dev/null ||
    { echo "fuzz.sh: cannot build lv_fuzz_wire in $build (needs a clang build)" >&2; exit 1; }
fi

corpus=$build/fuzz-corpus/wire
artifacts=$root/build/artifacts/fuzz
mkdir -p "$corpus" "$artifacts"

# One well-formed reply as a starting point: type 87, a 20-byte UTF-8 name without a terminator
# (its last character cut by the field), an accepted id serial.
seed=$corpus/seed-reply
if [ ! -f "$seed" ]; then
  head -c 1088 /dev/zero >"$seed"
  put() { printf '%b' "$2" | head -c "${3:-1088}" | dd of="$seed" bs=1 seek="$1" conv=notrunc status=none; }
  put 0 'W'
  put 4 'HdvsGet'
  put 28 '\xe6\x91\x84\xe5\x83\x8f\xe5\xa4\xb4\xe4\xb8\x80\xe5\x8f\xb7\xe6\x9c\xba\xe5\x99\xa8' 20
  put 76 '192.168.1.20'
  put 288 'a1b2c3d4e5f6'
fi

"$fuzzer" -max_total_time="$seconds" -max_len=2048 -timeout=10 \
  -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus"
