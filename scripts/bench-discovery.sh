#!/usr/bin/env bash
# The discovery benchmark: N simulated cameras answer one rescan at once; prints how many rows the
# tool listed and when the last one appeared, the same burst received by a bare native receiver
# in the same lab (the baseline), their ratio, and the tool's CPU use while idle with a full list.
# It prints figures and checks nothing.
#
#   bash scripts/bench-discovery.sh [--idle SECONDS] [N ...]      (defaults: 30, 100 1000)
#
# LAB_NAME names the lab (default lvbench). By default the script sets up and builds like
# scripts/run.sh; with BENCH_WIN_BUILD (and BENCH_NATIVE_BUILD, default build/native) it takes
# those build trees and builds only the benchmark's targets in them.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export LAB_NAME=${LAB_NAME:-lvbench}
state=$root/build/lab-$LAB_NAME
idle=30
fleets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --idle) idle=$2; shift 2 ;;
    [0-9]*) fleets+=("$1"); shift ;;
    *) echo "usage: bench-discovery.sh [--idle SECONDS] [N ...]" >&2; exit 2 ;;
  esac
done
[ ${#fleets[@]} -gt 0 ] || fleets=(100 1000)

if [ -n "${BENCH_WIN_BUILD:-}" ]; then
  win=$BENCH_WIN_BUILD
  native=${BENCH_NATIVE_BUILD:-build/native}
  cmake --build "$win" --target lv_discovery_bench -j2 >/dev/null
  cmake --build "$native" --target camsim native_receiver -j2 >/dev/null
else
  bash scripts/setup.sh
  bash scripts/build.sh
  win=build/win
  native=build/native
fi
win=$(cd "$win" && pwd)
native=$(cd "$native" && pwd)
bench=$win/tools/bench/lv_discovery_bench.exe
receiver=$native/tools/bench/native_receiver
camsim=$native/tools/camsim/camsim
for f in "$bench" "$receiver" "$camsim"; do
  [ -f "$f" ] || { echo "bench: $f was not built" >&2; exit 1; }
done

trap 'bash scripts/lab.sh down >/dev/null 2>&1' EXIT
mkdir -p "$state"
# The lab's servers keep the descriptors they started with: not this script's output.
bash scripts/lab.sh up >"$state/bench-lab-up.log" 2>&1 </dev/null || { cat "$state/bench-lab-up.log" >&2; exit 1; }
bash scripts/lab.sh cam "$camsim" --fleet 0 --control 8700 --log "$state/bench-camsim.log" \
     >"$state/bench-camsim.out" 2>&1 &
disown $! # it ends with the lab; no job notice then

sim() { # one control command to the simulator, from the tool side
  bash scripts/lab.sh tool bash -c "exec 3<>/dev/tcp/198.18.1.2/8700 && echo '$1' >&3 && head -n1 <&3" 2>/dev/null
}
for _ in $(seq 50); do sim count >/dev/null && break; sleep 0.1; done
sim count >/dev/null || { echo "bench: the simulator did not start" >&2; cat "$state/bench-camsim.out" >&2; exit 1; }

tool_ns=$LAB_NAME-tool
# CPU clock ticks used so far by each process of the tool side, as "name ticks" lines.
ns_ticks() {
  local p
  for p in $(ip netns pids "$tool_ns" 2>/dev/null); do
    [ -r "/proc/$p/stat" ] || continue
    # The name may hold spaces; the fields after the closing parenthesis do not.
    sed -E 's/^[0-9]+ \((.*)\) (.*)$/\1|\2/' "/proc/$p/stat" 2>/dev/null |
      awk -F'|' '{ split($2, f, " "); name = $1; gsub(/ /, "_", name); print name, f[12] + f[13] }'
  done | awk '{ t[$1] += $2 } END { for (n in t) print n, t[n] }'
}
# CPU between two samples, per process name, as percent of one core over the given seconds.
ticks_diff() { # before-file after-file seconds
  local hz
  hz=$(getconf CLK_TCK)
  awk -v hz="$hz" -v s="$3" 'NR == FNR { b[$1] = $2; next }
       { d = ($2 - b[$1]) / hz; if (d > 0) printf "    %-20s %6.2f s CPU  %6.2f%% of one core\n", $1, d, 100 * d / s }' "$1" "$2"
}

echo "== discovery benchmark, lab $LAB_NAME, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "net.core.rmem_max in the tool side: $(bash scripts/lab.sh tool cat /proc/sys/net/core/rmem_max)"

# The baseline first, while nothing else listens on the reply port.
declare -A native_count native_last
for n in "${fleets[@]}"; do
  sim "fleet $n" >/dev/null
  sim "burst on" >/dev/null
  sim "log clear" >/dev/null
  out=$(bash scripts/lab.sh tool "$receiver" --expect "$n" --quiet 3000)
  sent=$(sim sent | awk '{print $2}')
  summary=$(echo "$out" | grep '^native: ' || true)
  echo "native N=$n: ${summary#native: }; simulator sent $sent"
  native_count[$n]=$(echo "$out" | sed -n 's/^native-result count=\([0-9]*\).*/\1/p')
  native_last[$n]=$(echo "$out" | sed -n 's/^native-result .*last_s=\([-0-9.]*\).*/\1/p')
  sleep 1
done

# The tool, in process, with its figures and the lab's processes sampled around each phase.
log=$state/bench-tool.out
: >"$log"
bash scripts/lab.sh tool wine "$bench" --idle "$idle" "${fleets[@]}" >"$log" 2>&1 &
tool=$!
seen=0
phase_start=0
while :; do
  mapfile -t lines < <(tr -d '\r' <"$log")
  while [ $seen -lt ${#lines[@]} ]; do
    line=${lines[$seen]}
    seen=$((seen + 1))
    case "$line" in
      "round "*": begin"|"idle: begin"*)
        ns_ticks >"$state/bench-ticks.before"; phase_start=$(date +%s.%N) ;;
      "round "*": end"|"idle: end")
        ns_ticks >"$state/bench-ticks.after"
        secs=$(awk -v a="$(date +%s.%N)" -v b="$phase_start" 'BEGIN { printf "%.2f", a - b }')
        echo "  CPU of the tool side's processes during ${line%: end} ($secs s):"
        ticks_diff "$state/bench-ticks.before" "$state/bench-ticks.after" "$secs" ;;
      *) echo "$line" ;;
    esac
  done
  kill -0 "$tool" 2>/dev/null || break
  sleep 0.05
done
wait "$tool" || echo "bench: lv_discovery_bench ended with status $?"

echo
echo "== summary (times from the rescan command; native from its request)"
printf '%-6s %-14s %-14s %-14s %-14s %s\n' N "tool listed" "tool last row" "native count" "native last" ratio
for n in "${fleets[@]}"; do
  result=$(tr -d '\r' <"$log" | grep "^tool-result N=$n " || true)
  listed=$(echo "$result" | sed -n 's/.*listed=\([0-9]*\).*/\1/p')
  last=$(echo "$result" | sed -n 's/.*last_row_s=\([-0-9.]*\).*/\1/p')
  ratio=$(awk -v t="${last:-0}" -v b="${native_last[$n]:-0}" 'BEGIN { if (b > 0 && t > 0) printf "%.0f", t / b; else print "-" }')
  printf '%-6s %-14s %-14s %-14s %-14s %s\n' "$n" "${listed:-?}/$n" "${last:-?} s" \
    "${native_count[$n]:-?}/$n" "${native_last[$n]:-?} s" "$ratio"
done
tr -d '\r' <"$log" | grep -E '^(tool reply socket|tool idle:)' || true
