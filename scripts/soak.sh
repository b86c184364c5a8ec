#!/usr/bin/env bash
# The soak run: the real program (build/win/app/Larkvane.exe, under Wine with LC_ALL=zh_CN.UTF-8)
# started and closed again CYCLES times among 1000 simulated cameras that all answer both of its
# interfaces at once (the simulator's `fleet 1000`, `answer each`, `burst on`), in its own lab.
# It prints figures and fails when the program leaks, closes slowly or crashes; it is not a test
# and scripts/test.sh does not run it.
#
#   bash scripts/soak.sh [CYCLES] [--rounds K] [--minutes M]
#     defaults: 50 cycles, 3 rounds a cycle (about 35 s a cycle here), no time limit (with --minutes no cycle starts
#     after M minutes; the summary says how many ran)
#
# A cycle: start the program, wait for its list of 1000; then K rounds of: two rescans, the second
# during the first one's burst; a camera clicked in the list and "Modify By Single" opened;
# "Modify by Group" opened; a group pass over three rows ("Uncheck All", three rows selected,
# "Check Selected", "Set for All checked") and its completion box closed; the language combo set
# to English and back (CB_SETCURSEL, then CBN_CLOSEUP); then a sample of the process: handle count
# (the count Wine's server keeps, from the system process list: Wine answers GetProcessHandleCount
# and PrivateUsage of another process with 0) and, from /proc/PID/status of its Linux process,
# RssAnon (private memory), VmData, VmRSS, open descriptors and threads; the two dialogs closed
# (Return). Then a rescan and, 200 ms into its burst, the window is closed: WM_CLOSE in odd cycles,
# the Exit button (id 2) in even ones; every third cycle a group pass over all 1000 rows (200 ms a
# camera) is running too. The driver (tools/soak/soak_driver.cpp, lv_soak_driver.exe) does all
# of this from outside the process, only through the program's windows.
#
# The close time runs from the close request until the process has ended (its Windows handle
# signalled and its Linux process gone); the larger of the two counts. Under Wine without a window
# manager a shown managed top-level window took about 2.2 s to hide (the lab's windows are now
# unmanaged, and the program ends without taking its windows down), so the
# driver first hides the main window and the dialogs and waits for that, then rescans and closes
# 50 ms into the burst (the hidden list fills within about 200 ms), and the judged close time is
# the program's own. Every fourth cycle
# ("shown") closes instead with the main window and both settings dialogs shown, as a user would:
# its time is printed with the others but not judged.
#
# Fails (exit 1) when
#   - a close (of a hidden window) takes more than 2 s, or a process does not end (it is killed
#     after 30 s);
#   - a crash: the program's exit status is not 0, or its output shows Wine's crash report
#     ("Unhandled ...", "Backtrace:") or a C++ runtime abort;
#   - a step the driver took was not answered (an "error" line: a window that did not appear or a
#     list that did not fill within its bound);
#   - growth from cycle to cycle: the median of the last third of the cycles' samples (each taken
#     after the last round) exceeds the median of the first third by more than the tolerance:
#     handles 5 or 2 %, private memory (RssAnon) 2 MiB or 3 %, whichever is larger (needs 6
#     cycles); the other figures are printed, not judged;
#   - growth inside a run: the median over the cycles of (last round's sample - second round's
#     sample) / (rounds - 2) exceeds 1 handle or 512 KiB of RssAnon a round (needs 3 rounds; the
#     first round is left out: it creates what later rounds reuse).
#
# LAB_NAME names the lab (default lvsoak). By default the script sets up and builds like
# scripts/run.sh; with SOAK_WIN_BUILD (and SOAK_NATIVE_BUILD, default build/native) it takes those
# build trees and builds only the program, the driver and the simulator in them.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export LAB_NAME=${LAB_NAME:-lvsoak}
state=$root/build/lab-$LAB_NAME
cycles=50
rounds=3
minutes=0
fleet=1000
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    [0-9]*) cycles=$1; shift ;;
    *) echo "usage: soak.sh [CYCLES] [--rounds K] [--minutes M]" >&2; exit 2 ;;
  esac
done

if [ -n "${SOAK_WIN_BUILD:-}" ]; then
  win=$SOAK_WIN_BUILD
  native=${SOAK_NATIVE_BUILD:-build/native}
  cmake --build "$win" --target Larkvane lv_soak_driver -j2 >/dev/null
  cmake --build "$native" --target camsim -j2 >/dev/null
else
  bash scripts/setup.sh
  bash scripts/build.sh
  win=build/win
  native=build/native
fi
win=$(cd "$win" && pwd)
native=$(cd "$native" && pwd)
exe=$win/app/Larkvane.exe
driver=$win/tools/soak/lv_soak_driver.exe
camsim=$native/tools/camsim/camsim
for f in "$exe" "$driver" "$camsim"; do
  [ -f "$f" ] || { echo "soak: $f was not built" >&2; exit 1; }
done

trap 'bash scripts/lab.sh down >/dev/null 2>&1' EXIT
mkdir -p "$state/soak"
rm -f "$state"/soak/*
# The lab's servers keep the descriptors they started with: not this script's output.
bash scripts/lab.sh up >"$state/soak-lab-up.log" 2>&1 </dev/null || { cat "$state/soak-lab-up.log" >&2; exit 1; }
bash scripts/lab.sh cam "$camsim" --fleet 0 --control 8700 --log /dev/null >"$state/soak-camsim.out" 2>&1 &
disown $! # it ends with the lab; no job notice then

sim() { # one control command to the simulator, from the tool side
  bash scripts/lab.sh tool bash -c "exec 3<>/dev/tcp/198.18.1.2/8700 && echo '$1' >&3 && head -n1 <&3" 2>/dev/null
}
for _ in $(seq 50); do sim count >/dev/null && break; sleep 0.1; done
sim count >/dev/null || { echo "soak: the simulator did not start" >&2; cat "$state/soak-camsim.out" >&2; exit 1; }
for c in "fleet $fleet" "answer each" "burst on"; do
  [[ "$(sim "$c")" == ok* ]] || { echo "soak: the simulator refused '$c'" >&2; exit 1; }
done

tool_ns=$LAB_NAME-tool
tool_pid() { # the program's Linux process, by its command line
  local p
  for p in $(ip netns pids "$tool_ns" 2>/dev/null); do
    tr '\0' ' ' 2>/dev/null <"/proc/$p/cmdline" | grep -q 'Larkvane\.exe' && { echo "$p"; return 0; }
  done
  return 0
}
field() { # line key
  echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p" | head -n1
}

echo "== soak: $cycles cycles of $rounds rounds, $fleet cameras answering both interfaces in bursts, lab $LAB_NAME, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
table=$state/soak/table
: >"$table"
inside=$state/soak/inside
: >"$inside"
failures=()
started=$SECONDS
ran=0
for c in $(seq "$cycles"); do
  if [ "$minutes" -gt 0 ] && [ $((SECONDS - started)) -ge $((minutes * 60)) ]; then
    echo "soak: $minutes minutes gone; no cycle after $ran"
    break
  fi
  how=wmclose; [ $((c % 2)) = 0 ] && how=exit
  extra=()
  [ $((c % 3)) = 0 ] && extra+=(--pass-at-close)
  shown=0
  if [ $((c % 4)) = 0 ]; then shown=1; extra+=(--keep-dialogs); else extra+=(--hide-before-close --close-delay 50); fi
  out=$state/soak/cycle-$c.out
  log=$state/soak/cycle-$c.driver
  timeout -s KILL 900 bash scripts/lab.sh tool wine "$exe" >"$out" 2>&1 &
  job=$!
  pid=""
  for _ in $(seq 200); do pid=$(tool_pid); [ -n "$pid" ] && break; sleep 0.05; done
  if [ -z "$pid" ]; then
    echo "cycle $c: the program's process was not found"
    failures+=("cycle $c: no process")
    kill -9 "$job" 2>/dev/null || true
    wait "$job" 2>/dev/null || true
    continue
  fi
  drv=0
  timeout -s KILL 600 bash scripts/lab.sh tool wine "$driver" --unix-pid "$pid" --rounds "$rounds" \
    --expect "$fleet" --close "$how" "${extra[@]}" >"$log" 2>&1 </dev/null || drv=$?
  # The driver has waited for the end; a process still there after 30 s more is hung.
  hung=0
  for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    hung=1
    kill -9 "$pid" 2>/dev/null || true
  fi
  status=0
  wait "$job" 2>/dev/null || status=$?
  ran=$c

  lines=$(tr -d '\r' <"$log")
  close=$(echo "$lines" | grep '^close ' | tail -n1 || true)
  sample=$(echo "$lines" | grep '^sample ' | tail -n1 || true)
  errors=$(echo "$lines" | sed -n 's/^error what=//p' | tr '\n' ',' | sed 's/,$//')
  crash=$(tr -d '\r' <"$out" | grep -E -m3 'Unhandled|Backtrace:|terminate called|abnormal program termination|Assertion' || true)
  close_ms=$(field "$close" close_ms); linux_ms=$(field "$close" linux_close_ms)
  handles=$(field "$sample" handles); private=$(field "$sample" rssanon_kb); vmdata=$(field "$sample" vmdata_kb)
  rss=$(field "$sample" vmrss_kb); fds=$(field "$sample" fds); threads=$(field "$sample" threads)
  at_close=$(field "$close" count_at_close); pass=$(field "$close" pass_running)
  worst=$(awk -v a="${close_ms:--1}" -v b="${linux_ms:--1}" 'BEGIN { print (a > b ? a : b) }')
  crashed=no
  if [ "$status" != 0 ] || [ -n "$crash" ] || [ $hung = 1 ]; then crashed="yes:status-$status$([ $hung = 1 ] && echo ":hung")"; fi
  shownword=hidden; [ $shown = 1 ] && shownword=shown
  printf '%s\n' "$c $how ${pass:-?} ${at_close:-?} ${close_ms:--} ${linux_ms:--} ${handles:--} ${private:--} ${rss:--} ${fds:--} ${threads:--} ${vmdata:--} $shownword $crashed ${errors:--}" >>"$table"
  printf 'cycle %2d %-7s %-6s pass=%s count_at_close=%-4s close %5s ms (linux %5s ms) handles %4s private %6s KiB vmdata %6s KiB rss %6s KiB fds %3s threads %2s crash %s%s\n' \
    "$c" "$how" "$shownword" "${pass:-?}" "${at_close:-?}" "${close_ms:--}" "${linux_ms:--}" "${handles:--}" "${private:--}" \
    "${vmdata:--}" "${rss:--}" "${fds:--}" "${threads:--}" "$crashed" "$([ -n "$errors" ] && echo " errors: $errors")"
  # Inside the run: every round's sample.
  echo "$lines" | grep '^sample ' | while read -r s; do
    echo "$c $(field "$s" round) $(field "$s" handles) $(field "$s" rssanon_kb) $(field "$s" vmrss_kb) $(field "$s" fds)"
  done >>"$inside"
  [ -n "$crash" ] && echo "  program output: $crash"
  [ "$crashed" != no ] && failures+=("cycle $c: crash or abnormal end ($crashed)")
  [ -z "$close" ] && failures+=("cycle $c: no close figure (driver status $drv)")
  if [ -n "$close" ] && [ $shown = 0 ] && awk -v w="$worst" 'BEGIN { exit !(w > 2000 || w < 0) }'; then
    failures+=("cycle $c: close took $worst ms")
  fi
  [ -n "$errors" ] && failures+=("cycle $c: driver steps not answered: $errors")
done

echo
echo "== per cycle (sample after the last round; close from the request to the end of the process;"
echo "   private = RssAnon; shown closes include Wine's destroy of shown windows and are not judged)"
printf '%-5s %-8s %-7s %-5s %-6s %-9s %-9s %-7s %-11s %-10s %-9s %-4s %-7s %s\n' cycle close window pass count close_ms linux_ms handles private_KiB vmdata_KiB rss_KiB fds threads crash
while read -r c how pass at cms lms h p r f t vd sw cr err; do
  printf '%-5s %-8s %-7s %-5s %-6s %-9s %-9s %-7s %-11s %-10s %-9s %-4s %-7s %s\n' "$c" "$how" "$sw" "$pass" "$at" "$cms" "$lms" "$h" "$p" "$vd" "$r" "$f" "$t" "$cr"
done <"$table"
awk '$13 == "hidden" { print ($6 > $5 ? $6 : $5) }' "$table" | sort -n |
  awk '{ v[NR] = $1 } END { if (NR) printf "close of a hidden window: median %s ms, longest %s ms (%d cycles)\n", v[int((NR + 1) / 2)], v[NR], NR }'
awk '$13 == "shown" { print ($6 > $5 ? $6 : $5) }' "$table" | sort -n |
  awk '{ v[NR] = $1 } END { if (NR) printf "close with the windows shown: median %s ms, longest %s ms (%d cycles)\n", v[int((NR + 1) / 2)], v[NR], NR }'

echo
echo "== inside each run (rounds 1..$rounds): handles / private KiB"
awk '{ h[$1] = h[$1] (h[$1] ? " " : "") $3; p[$1] = p[$1] (p[$1] ? " " : "") $4; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
     END { for (i = 1; i <= n; i++) printf "cycle %-3s handles %-24s private %s\n", order[i], h[order[i]], p[order[i]] }' "$inside"

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) { print ""; exit } if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo
echo "== growth"
n=$(grep -c . "$table" || true)
growth_check() { # column name absolute-tolerance percent-tolerance
  local col=$2 name=$1 abs=$3 pct=$4 third first last tol
  third=$((n / 3))
  first=$(awk -v k="$third" -v c="$col" 'NR <= k && $c != "-" { print $c }' "$table" | median)
  last=$(awk -v k="$third" -v n="$n" -v c="$col" 'NR > n - k && $c != "-" { print $c }' "$table" | median)
  if [ -z "$first" ] || [ -z "$last" ]; then echo "$name: not measured"; return; fi
  tol=$(awk -v f="$first" -v a="$abs" -v p="$pct" 'BEGIN { t = f * p / 100; print (t > a ? t : a) }')
  if awk -v f="$first" -v l="$last" -v t="$tol" 'BEGIN { exit !(l > f + t) }'; then
    echo "$name from cycle to cycle: median of the first $third $first, of the last $third $last: grew by more than $tol"
    failures+=("$name grew from cycle to cycle: $first -> $last (tolerance $tol)")
  else
    echo "$name from cycle to cycle: median of the first $third $first, of the last $third $last (tolerance $tol): no growth"
  fi
}
if [ "$n" -ge 6 ]; then
  growth_check handles 7 5 2
  growth_check "private (RssAnon) KiB" 8 2048 3
  growth_check "VmData KiB (not judged)" 12 0 0 | sed 's/grew by more than/larger by/'
  growth_check "VmRSS KiB (not judged)" 9 0 0 | sed 's/grew by more than/larger by/'
  growth_check "Linux descriptors (not judged)" 10 0 0 | sed 's/grew by more than/larger by/'
else
  echo "from cycle to cycle: fewer than 6 cycles, not judged"
fi
if [ "$rounds" -ge 3 ]; then
  per_round() { # column
    awk -v k="$rounds" -v c="$1" '$2 == 2 { a[$1] = $c } $2 == k { b[$1] = $c }
         END { for (i in a) if (i in b) print (b[i] - a[i]) / (k - 2) }' "$inside" | median
  }
  h=$(per_round 3); p=$(per_round 4); r=$(per_round 5)
  echo "inside a run, median over the cycles of the growth a round after round 2: handles ${h:-?}, private (RssAnon) ${p:-?} KiB, VmRSS ${r:-?} KiB"
  awk -v h="${h:-0}" 'BEGIN { exit !(h > 1) }' && failures+=("handles grew inside a run: ${h} a round")
  awk -v p="${p:-0}" 'BEGIN { exit !(p > 512) }' && failures+=("private bytes grew inside a run: ${p} KiB a round")
fi

echo
echo "soak: $ran cycles in $((SECONDS - started)) s"
real=()
for f in "${failures[@]}"; do [ -n "$f" ] && real+=("$f"); done
if [ ${#real[@]} -gt 0 ]; then
  echo "soak: FAILED"
  printf '  %s\n' "${real[@]}"
  exit 1
fi
echo "soak: passed (no growth, every close within 2 s, no crash)"
