#!/usr/bin/env bash
# The discovery benchmark: N simulated cameras answer one rescan at once, each camera answering
# the request of each of the tool's two interfaces (2N replies), as cameras reachable through
# both do. For each N it prints when every row was listed, how long the main window took to
# answer a message meanwhile (longest and median), then the idle cost with the list full: CPU
# of the tool's process and of its wineserver (from /proc/PID/stat) and the window thread's
# wake-ups. A native receiver of the same burst is the baseline. A table at the end sets each
# figure beside its target. It prints figures and checks nothing; it exits 0 unless it broke.
#
#   bash scripts/bench-discovery.sh [--idle SECONDS] [--limit SECONDS] [--no-profile] [--onvif M]
#                                   [N ...] [--single N ...]
#     defaults: 30 s idle, 60 s limit a round, 100 300 1000 5000, and 1000 answering once a camera;
#     --onvif M: M other makers' ONVIF devices (up to 2000) answer each WS-Discovery Probe too
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
limit=60
fleets=()
singles=()
single=0
onvif=none
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --idle) idle=$2; shift 2 ;;
    --limit) limit=$2; shift 2 ;;
    --single) single=1; shift ;;
    --onvif) onvif=$2; shift 2 ;;
    --no-profile) extra+=(--no-profile); shift ;;
    [0-9]*) if [ $single = 1 ]; then singles+=("$1"); else fleets+=("$1"); fi; shift ;;
    *) echo "usage: bench-discovery.sh [--idle SECONDS] [--limit SECONDS] [--no-profile] [--onvif M] [N ...] [--single N ...]" >&2; exit 2 ;;
  esac
done
if [ ${#fleets[@]} -eq 0 ] && [ ${#singles[@]} -eq 0 ]; then
  fleets=(100 300 1000 5000)
  singles=(1000)
fi

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
bash scripts/lab.sh cam "$camsim" --fleet 0 --onvif "$onvif" --control 8700 --log "$state/bench-camsim.log" \
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

# The baseline first, while nothing else listens on the reply port: one request, N replies.
declare -A native_count native_last
sim "answer link" >/dev/null
for n in "${fleets[@]}"; do
  sim "fleet $n" >/dev/null
  sim "burst on" >/dev/null
  sim "log clear" >/dev/null
  out=$(timeout $((limit + 30)) bash scripts/lab.sh tool "$receiver" --expect "$n" --quiet 3000 || true)
  sent=$(sim sent | awk '{print $2}')
  summary=$(echo "$out" | grep '^native: ' || true)
  echo "native N=$n (one request): ${summary#native: }; simulator sent $sent"
  native_count[$n]=$(echo "$out" | sed -n 's/^native-result count=\([0-9]*\).*/\1/p')
  native_last[$n]=$(echo "$out" | sed -n 's/^native-result .*last_s=\([-0-9.]*\).*/\1/p')
  sleep 1
done

# CPU clock ticks (utime + stime) of one process; empty when it is gone.
pid_ticks() {
  [ -n "$1" ] && [ -r "/proc/$1/stat" ] || return 0
  sed -E 's/^[0-9]+ \(.*\) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }'
}
# The benchmark's Wine process in the tool side, and its window thread (named lv-window; the
# process's first thread when the name did not reach Linux).
bench_pid() {
  local p
  for p in $(ip netns pids "$tool_ns" 2>/dev/null); do
    # By its command line: naming its first thread renamed the process too.
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q 'lv_discovery_bench' && { echo "$p"; return; }
  done
}
window_tid() {
  local t
  for t in /proc/$1/task/*; do
    [ "$(cat "$t/comm" 2>/dev/null)" = lv-window ] && { basename "$t"; return; }
  done
  echo "$1"
}
# Voluntary plus involuntary context switches of the given tasks of one process (all: every one).
switches() { # pid tid|all
  local files
  if [ "$2" = all ]; then files=(/proc/"$1"/task/*/status); else files=(/proc/"$1"/task/"$2"/status); fi
  awk '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print n + 0 }' "${files[@]}" 2>/dev/null || true
}
wineserver_pid() {
  local p
  for p in $(ip netns pids "$tool_ns" 2>/dev/null); do
    case "$(cat "/proc/$p/comm" 2>/dev/null)" in wineserver*) echo "$p"; return ;; esac
  done
}

# The tool, in process, with its figures and the lab's processes sampled around each phase.
log=$state/bench-tool.out
: >"$log"
args=(--idle "$idle" --limit "$limit" ${extra[@]+"${extra[@]}"} "${fleets[@]}")
case "$onvif" in [0-9]*) args+=(--onvif "$onvif") ;; esac
[ ${#singles[@]} -gt 0 ] && args+=(--single "${singles[@]}")
# The whole run is bounded: every round ends at its limit, and the rest takes minutes.
rounds=$(( ${#fleets[@]} + ${#singles[@]} + 1 ))
budget=$(( rounds * (limit + 40) + idle + 180 ))
timeout -s KILL "$budget" bash scripts/lab.sh tool wine "$bench" "${args[@]}" >"$log" 2>&1 &
tool=$!
seen=0
phase_start=0
tool_pid=""
server_pid=$(wineserver_pid)
# Per idle phase ("idle": the pointer off the window; "idle-over": lying still over the list).
declare -A idle_tool idle_server idle_secs idle_window idle_all
window=""
hz=$(getconf CLK_TCK)
while :; do
  mapfile -t lines < <(tr -d '\r' <"$log")
  while [ $seen -lt ${#lines[@]} ]; do
    line=${lines[$seen]}
    seen=$((seen + 1))
    case "$line" in
      "tool-ids "*)
        tool_pid=$(bench_pid)
        window=$(window_tid "$tool_pid")
        how="the thread named lv-window"
        [ "$(cat "/proc/$tool_pid/task/$window/comm" 2>/dev/null)" = lv-window ] ||
          how="the first thread: no thread named lv-window"
        echo "Linux side: tool process $tool_pid, window thread $window ($how), wineserver ${server_pid:-?}" ;;
      "round "*": begin")
        ns_ticks >"$state/bench-ticks.before"; phase_start=$(date +%s.%N) ;;
      "idle: begin"*|"idle-over: begin"*)
        echo "$line"
        ns_ticks >"$state/bench-ticks.before"; phase_start=$(date +%s.%N)
        t0_tool=$(pid_ticks "$tool_pid"); t0_server=$(pid_ticks "$server_pid")
        s0_window=$(switches "$tool_pid" "$window"); s0_all=$(switches "$tool_pid" all) ;;
      "round "*": end"|"idle: end"|"idle-over: end")
        t1_tool=$(pid_ticks "$tool_pid"); t1_server=$(pid_ticks "$server_pid")
        s1_window=$(switches "$tool_pid" "$window"); s1_all=$(switches "$tool_pid" all)
        ns_ticks >"$state/bench-ticks.after"
        secs=$(awk -v a="$(date +%s.%N)" -v b="$phase_start" 'BEGIN { printf "%.2f", a - b }')
        echo "  CPU of the tool side's processes during ${line%: end} ($secs s):"
        ticks_diff "$state/bench-ticks.before" "$state/bench-ticks.after" "$secs"
        if [ "${line#round }" = "$line" ] && [ -n "${t0_tool:-}" ] && [ -n "$t1_tool" ] &&
           [ -n "${t0_server:-}" ] && [ -n "$t1_server" ]; then
          ph=${line%: end}
          idle_secs[$ph]=$secs
          idle_tool[$ph]=$(awk -v a="$t0_tool" -v b="$t1_tool" -v hz="$hz" -v s="$secs" 'BEGIN { printf "%.2f", 100 * (b - a) / hz / s }')
          idle_server[$ph]=$(awk -v a="$t0_server" -v b="$t1_server" -v hz="$hz" -v s="$secs" 'BEGIN { printf "%.2f", 100 * (b - a) / hz / s }')
          echo "  $ph, from /proc/PID/stat: tool process ${idle_tool[$ph]}%, wineserver ${idle_server[$ph]}% of one core"
          idle_window[$ph]=$(awk -v a="$s0_window" -v b="$s1_window" -v s="$secs" 'BEGIN { printf "%.1f", (b - a) / s }')
          idle_all[$ph]=$(awk -v a="$s0_all" -v b="$s1_all" -v s="$secs" 'BEGIN { printf "%.1f", (b - a) / s }')
          echo "  $ph, from /proc/PID/task/*/status: window thread ${idle_window[$ph]} context switches a second, all threads ${idle_all[$ph]}"
        fi ;;
      *) echo "$line" ;;
    esac
  done
  kill -0 "$tool" 2>/dev/null || break
  sleep 0.05
done
status=0
wait "$tool" || status=$?
[ $status = 0 ] || echo "bench: lv_discovery_bench ended with status $status$([ $status = 137 ] && echo " (killed after $budget s)")"

# The table: each figure beside its target.
result() { # mode N key
  tr -d '\r' <"$log" | grep "^tool-result mode=$1 N=$2 " | sed -n "s/.* $3=\([-0-9.]*\).*/\1/p" | head -n1
}
target_for() {
  case "$1" in 300) echo "every row, <= 0.3 s" ;; 1000) echo "every row, <= 0.5 s" ;;
    5000) echo "nothing lost, <= 2.5 s" ;; *) echo "-" ;; esac
}
row() { printf '%-52s %-40s %s\n' "$1" "$2" "$3"; }

echo
echo "== summary (times from the rescan command; native from its one request)"
row "figure" "measured" "target"
# With --onvif M every round also lists the M devices of other makers: N + M rows.
m=0
case "$onvif" in [0-9]*) m=$onvif ;; esac
for n in "${fleets[@]}"; do
  listed=$(result two "$n" listed); all=$(result two "$n" all_rows_s); last=$(result two "$n" last_row_s)
  total=$((n + m))
  if [ -z "$listed" ]; then measured="no result"
  elif [ "${all:--1}" != "-1.000" ]; then measured="$listed/$total listed, every row at $all s"
  else measured="$listed/$total listed (lost $((total - listed))), last row $last s"; fi
  [ "$(result two "$n" timed_out)" = 1 ] && measured="$measured, cut at ${limit} s"
  if [ "$m" -gt 0 ]; then
    row "N=$n two-interface + $m ONVIF devices" "$measured" "every row"
  else
    row "N=$n two-interface ($((2 * n)) replies)" "$measured" "$(target_for "$n")"
  fi
done
# The simulator's "burst on" sends without pacing: ten thousand replies within ~20 ms.
row "N=5000 unpaced burst (10000 replies within ~20 ms)" "$(result two 5000 listed)/5000 listed" "all listed"
for n in "${singles[@]}"; do
  listed=$(result one "$n" listed); all=$(result one "$n" all_rows_s); last=$(result one "$n" last_row_s)
  if [ -z "$listed" ]; then measured="no result"
  elif [ "${all:--1}" != "-1.000" ]; then measured="$listed/$n listed, every row at $all s"
  else measured="$listed/$n listed (lost $((n - listed))), last row $last s"; fi
  row "N=$n single-interface ($n replies)" "$measured" "-"
done
for n in "${fleets[@]}"; do
  row "N=$n native receiver, one request" "${native_count[$n]:-?}/$n, last ${native_last[$n]:-?} s" "(baseline)"
done
for mode_n in $(for n in "${fleets[@]}"; do echo "two:$n"; done; for n in "${singles[@]}"; do echo "one:$n"; done); do
  mode=${mode_n%%:*}; n=${mode_n#*:}
  max=$(result "$mode" "$n" answer_max_ms); median=$(result "$mode" "$n" answer_median_ms)
  count=$(result "$mode" "$n" answers)
  label=two-interface; [ "$mode" = one ] && label=single-interface
  row "window answer time, N=$n $label burst" "longest ${max:-?} ms, median ${median:-?} ms (${count:-0})" "<= 50 ms"
done
copy_key() { tr -d '\r' <"$log" | grep "^copy-result kind=$1 " | sed -n "s/.* $2=\([-0-9.]*\).*/\1/p" | head -n1; }
for kind in ctrl_c copy_list export; do
  rows=$(copy_key "$kind" rows)
  case $kind in ctrl_c) label="Ctrl+C" ;; copy_list) label="Copy List" ;; *) label="CSV export" ;; esac
  if [ -n "$rows" ]; then
    row "$label of $rows rows: done / longest window wait" "$(copy_key "$kind" done_s) s / $(copy_key "$kind" answer_max_ms) ms" "<= 0.5 s / <= 50 ms"
  fi
done
for ph in idle idle-over; do
  where="pointer off the window"; [ "$ph" = idle-over ] && where="pointer resting on the list"
  if [ -n "${idle_tool[$ph]:-}" ]; then
    sum=$(awk -v a="${idle_tool[$ph]}" -v b="${idle_server[$ph]}" 'BEGIN { printf "%.2f", a + b }')
    row "$ph ${idle_secs[$ph]} s, $where: tool + wineserver" "${idle_tool[$ph]}% + ${idle_server[$ph]}% = $sum% of one core" "<= 0.5 %"
  else
    row "$ph, $where: tool + wineserver" "not measured" "<= 0.5 %"
  fi
  msgs=$(tr -d '\r' <"$log" | grep "^tool-$ph " | sed -n 's/.* window_msgs_per_s=\([-0-9.]*\).*/\1/p')
  row "$ph: window thread wake-ups (context switches)" "${idle_window[$ph]:-?} a second" "<= about 10"
  row "$ph: window thread posted messages retrieved" "${msgs:-?} a second" "(for comparison)"
  row "$ph: all the tool's threads' context switches" "${idle_all[$ph]:-?} a second" "-"
done
[ $status = 0 ]
