#!/usr/bin/env bash
# The discovery flood (figures, not a test): the tool's main window in process, in a lab of its
# own, while the camera side sends FLOOD distinct valid replies (default 100000, far more than the
# camera table's 20000) as fast as it can, and then the same again in waves the tool can take;
# then one camera of the simulator answers, and a rescan. It prints: the rows and the count label after the flood (at the cap or below), the
# window's longest answer time meanwhile, private memory at the cap and at the end, whether the
# camera that answered after the flood was listed, and that a rescan lists it again. It checks
# nothing; it exits 0 unless it broke.
#
#   LAB_NAME=flood bash scripts/flood-discovery.sh [FLOOD]
#
# It builds lv_flood_probe and camsim in the build trees that exist (FLOOD_WIN_BUILD, default
# build/win; FLOOD_NATIVE_BUILD, default build/native) and takes its lab down at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export LAB_NAME=${LAB_NAME:-flood}
case "$LAB_NAME" in flood*) ;; *) echo "flood: use a lab of its own (LAB_NAME=flood...)" >&2; exit 2 ;; esac
count=${1:-100000}
state=$root/build/lab-$LAB_NAME
win=${FLOOD_WIN_BUILD:-build/win}
native=${FLOOD_NATIVE_BUILD:-build/native}
cmake --build "$win" --target lv_flood_probe -j2 >/dev/null
cmake --build "$native" --target camsim -j2 >/dev/null
probe=$(cd "$win" && pwd)/tools/flood/lv_flood_probe.exe
camsim=$(cd "$native" && pwd)/tools/camsim/camsim

trap 'bash scripts/lab.sh down >/dev/null 2>&1' EXIT
mkdir -p "$state"
bash scripts/lab.sh up >"$state/flood-lab-up.log" 2>&1 </dev/null || { cat "$state/flood-lab-up.log" >&2; exit 1; }
bash scripts/lab.sh cam "$camsim" --fleet 0 --control 8700 --log "$state/flood-camsim.log" \
     >"$state/flood-camsim.out" 2>&1 &
disown $!
sim() {
  bash scripts/lab.sh tool bash -c "exec 3<>/dev/tcp/198.18.1.2/8700 && echo '$1' >&3 && head -n1 <&3" 2>/dev/null
}
for _ in $(seq 50); do sim count >/dev/null && break; sleep 0.1; done
sim count >/dev/null || { echo "flood: the simulator did not start" >&2; exit 1; }

# Datagrams the tool side's system dropped at port 8629 (0x21B5), from /proc/net/udp.
drops() {
  bash scripts/lab.sh tool cat /proc/net/udp | awk '$2 ~ /:21B5$/ { n += $NF } END { print n + 0 }'
}

# The flood: distinct valid replies (type 87, idSerial "b" and 11 digits, a lanIp each) from the
# first camera-side address to the tool's address on that link. MODE line: as fast as one process
# sends (the tool side's socket buffer overflows, and the system drops most); MODE waves: the same
# serials again in waves of 500 150 ms apart, slow enough for the tool under Wine to see most of
# them, so that the table fills to its cap.
flood() { # MODE
  bash scripts/lab.sh cam python3 - "$count" "$1" <<'EOF'
import socket, struct, sys, time
count, mode = int(sys.argv[1]), sys.argv[2]
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("198.18.1.2", 0))
base = bytearray(1088)
struct.pack_into("<i", base, 0, 87)
base[28:28 + 5] = b"Flood"
start = time.monotonic()
sent = 0
for i in range(count):
    m = bytearray(base)
    m[288:288 + 12] = b"b%011d" % i
    ip = b"198.18.%d.%d" % (16 + (i // 250) % 16, 2 + i % 250)
    m[76:76 + len(ip)] = ip
    try:
        s.sendto(m, ("198.18.1.10", 8629))
        sent += 1
    except OSError:
        pass
    if mode == "waves" and i % 500 == 499:
        time.sleep(0.15)
elapsed = time.monotonic() - start
print("flood (%s): sent %d of %d replies in %.2f s (%.0f a second)" % (mode, sent, count, elapsed, sent / max(elapsed, 1e-9)))
EOF
}

# The probe's Linux process in the tool side, found by its command line.
probe_pid() {
  local p
  for p in $(ip netns pids "$LAB_NAME-tool" 2>/dev/null); do
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q 'lv_flood_probe' && { echo "$p"; return; }
  done
}

echo "== discovery flood, lab $LAB_NAME, $count forged replies, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
log=$state/flood-probe.out
sender=$state/flood-sender.out
done_file=$state/flood.done
: >"$log"
: >"$sender"
rm -f "$done_file"
timeout -s KILL 600 bash scripts/lab.sh tool wine "$probe" --done-file "Z:$done_file" >"$log" 2>&1 &
tool=$!
seen=0
seen_sender=0
flooded=0
while :; do
  mapfile -t sent_lines <"$sender"
  while [ $seen_sender -lt ${#sent_lines[@]} ]; do
    echo "${sent_lines[$seen_sender]}"
    seen_sender=$((seen_sender + 1))
  done
  mapfile -t lines < <(tr -d '\r' <"$log")
  while [ $seen -lt ${#lines[@]} ]; do
    line=${lines[$seen]}
    seen=$((seen + 1))
    case "$line" in
      "memory-sample "*)
        pid=$(probe_pid)
        echo "  memory ${line#memory-sample }: $(awk '/^(RssAnon|VmData):/ { printf "%s %s %s  ", $1, $2, $3 }' "/proc/$pid/status" 2>/dev/null)" ;;
      *) echo "$line" ;;
    esac
    if [ "$line" = "flood: ready" ] && [ $flooded = 0 ]; then
      flooded=1
      # In the background, so that the memory samples are taken while it runs.
      (
        for mode in line waves; do
          before=$(drops)
          flood $mode
          echo "  dropped by the tool side's system at port 8629: $(( $(drops) - before ))"
        done
        touch "$done_file"
      ) >>"$sender" 2>&1 &
    fi
  done
  kill -0 "$tool" 2>/dev/null || break
  sleep 0.1
done
status=0
wait "$tool" || status=$?
mapfile -t lines < <(tr -d '\r' <"$log")
while [ $seen -lt ${#lines[@]} ]; do echo "${lines[$seen]}"; seen=$((seen + 1)); done
[ $status = 0 ] || echo "flood: lv_flood_probe ended with status $status"
[ $status = 0 ]
