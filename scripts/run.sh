#!/usr/bin/env bash
# The run command: sets up, builds, starts the lab with a default fleet of simulated cameras
# (and, beside them, a few other makers' ONVIF devices) and runs Larkvane in the lab under Wine
# with the users' Chinese code page.
#
#   bash scripts/run.sh [--fleet default|N] [--onvif default|none|N] [--headless]
#
# With a usable X display (DISPLAY set, its socket under /tmp/.X11-unix) the tool opens there and
# the script waits until the window is closed. Otherwise it runs on the lab's Xvfb: the script
# waits until the cameras are listed, saves a screenshot, prints its path and closes the tool as
# a user would (WM_CLOSE to its window); a tool still running 10 s later is killed, and the
# script says how the tool ended. Nothing waits without a bound there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export LAB_NAME=${LAB_NAME:-lvrun}
state=$root/build/lab-$LAB_NAME
fleet=default
onvif=default
headless=0
while [ $# -gt 0 ]; do
  case "$1" in
    --fleet) fleet=$2; shift 2 ;;
    --onvif) onvif=$2; shift 2 ;;
    --headless) headless=1; shift ;;
    *) echo "usage: run.sh [--fleet default|N] [--onvif default|none|N] [--headless]" >&2; exit 2 ;;
  esac
done

bash scripts/setup.sh
mkdir -p build
bash scripts/build.sh
exe=$root/build/win/app/Larkvane.exe
[ -f "$exe" ] || { echo "run: $exe was not built" >&2; exit 1; }

trap 'bash scripts/lab.sh down >/dev/null 2>&1' EXIT
bash scripts/lab.sh up

bash scripts/lab.sh cam build/native/tools/camsim/camsim --fleet "$fleet" --onvif "$onvif" --control 8700 \
     --log "$state/camsim.log" >"$state/camsim.out" 2>&1 &
disown $! # it ends with the lab; no job notice then

sim() { # one control command to the simulator, from the tool side
  bash scripts/lab.sh tool bash -c "exec 3<>/dev/tcp/198.18.1.2/8700 && echo '$1' >&3 && head -n1 <&3" 2>/dev/null
}
for _ in $(seq 50); do sim count >/dev/null && break; sleep 0.1; done
cameras=$(sim count | awk '{print $2}')

user_display=""
if [ $headless = 0 ] && [ -n "${DISPLAY:-}" ]; then
  n=${DISPLAY#*:}; n=${n%%.*}
  [ -S "/tmp/.X11-unix/X$n" ] && user_display=$DISPLAY
fi

if [ -n "$user_display" ]; then
  echo "Larkvane on $user_display with $cameras simulated cameras; close its window to end."
  DISPLAY_OVERRIDE=$user_display bash scripts/lab.sh tool env DISPLAY="$user_display" wine "$exe"
  exit 0
fi

bash scripts/lab.sh tool wine "$exe" >"$state/larkvane.out" 2>&1 &
tool=$! # lab.sh and wine exec their way down to the tool's own process
# Every listed camera has been acknowledged, once per usable interface.
deadline=$((SECONDS + 60))
while [ $SECONDS -lt $deadline ] && kill -0 "$tool" 2>/dev/null; do
  acks=$(grep -c ' type=129 ' "$state/camsim.log" 2>/dev/null || true)
  [ "${acks:-0}" -ge $((cameras * 2)) ] && break
  sleep 0.5
done
sleep 2
mkdir -p build/artifacts
shot=$root/build/artifacts/larkvane.png
rm -f "$shot"
timeout 30 bash scripts/lab.sh tool import -window root "$shot" || echo "run: the screenshot failed" >&2
if [ -s "$shot" ]; then
  echo "Larkvane listed ${acks:-0} acknowledged replies from $cameras cameras; screenshot: $shot"
else
  echo "Larkvane: no screenshot ($shot missing); ${acks:-0} acknowledged replies from $cameras cameras"
fi

# The group dialog over it ("批量操作 ...", command 1001), with its status column.
group_shot=$root/build/artifacts/larkvane-group.png
rm -f "$group_shot"
if timeout 20 bash scripts/lab.sh tool wine "$root/build/win/tools/soak/lv_soak_driver.exe" --post-command 1001 \
     >/dev/null 2>&1; then
  sleep 2
  timeout 30 bash scripts/lab.sh tool import -window root "$group_shot" || true
fi
[ -s "$group_shot" ] && echo "the group dialog: $group_shot"

# Close it as a user does: Wine's taskkill without /f posts WM_CLOSE to the tool's top-level
# windows, as the caption's close box would. (xdotool's windowclose destroys the X window
# instead, which Wine does not turn into WM_CLOSE, so the tool ran on.)
how=""
if ! kill -0 "$tool" 2>/dev/null; then
  how="it had already ended"
else
  timeout 20 bash scripts/lab.sh tool wine taskkill /im Larkvane.exe >"$state/taskkill.out" 2>&1 || true
  for _ in $(seq 100); do # 10 s
    kill -0 "$tool" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$tool" 2>/dev/null; then
    echo "run: Larkvane was still running 10 s after WM_CLOSE; killing it" >&2
    kill -9 "$tool" 2>/dev/null || true
    how="killed after not closing within 10 s of WM_CLOSE"
  else
    how="closed by WM_CLOSE"
  fi
fi
status=0
wait "$tool" 2>/dev/null || status=$?
echo "Larkvane ended: $how (exit status $status)"
