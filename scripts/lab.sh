#!/usr/bin/env bash
# The network lab: two namespaces joined by three veth links, its own Wine prefix and X display.
#
#   lab.sh up      create the namespaces, start Xvfb and the lab's wineserver inside the tool side
#   lab.sh down    stop everything and delete the namespaces
#   lab.sh tool CMD...   run CMD in the tool side, with the lab's Wine and display environment
#   lab.sh cam CMD...    run CMD in the camera side
#   lab.sh check   fail unless the tool side holds only lab interfaces
#
# LAB_NAME (default "lv") names the lab, so that several labs can exist side by side.
# Addresses come from 198.18.0.0/15, the range set aside for network test benches.
#
# Tool side            camera side
#   lab0 198.18.1.10  -- lab0c 198.18.1.2
#   lab1 198.18.2.10  -- lab1c 198.18.2.2
#   lab2 198.18.3.1   -- lab2c 198.18.3.2     (the tool skips an address ending in .1)
# The camera side may send from any address of 198.18.1.128/25, 198.18.2.128/25,
# 198.18.16.0/20, 198.18.32.0/20, 198.18.64.0/20 (other makers' ONVIF devices, clear of every
# camera fleet) and from 192.168.100.100 (local routes on lo), so that simulated
# cameras answer from their own addresses.
#
# Other devices: 198.18.1.60, .61 and .62 belong to a third namespace (LAB_NAME-dev) on a macvlan
# of lab0c, with a MAC address of its own: a printer or recorder that is no camera. Its kernel
# answers ICMP echo and ARP for them (the address-in-use probe's tests put computed addresses
# there); tests read them from LARKVANE_LAB_OTHER_DEVICES. The camera side itself ignores echo
# requests (icmp_echo_ignore_all): its address blocks are local routes, where every address would
# answer, which would make every free address of those blocks look taken. It still answers ARP.
set -euo pipefail

LAB_NAME=${LAB_NAME:-lv}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
state=${LAB_STATE:-$root/build/lab-$LAB_NAME}
tool_ns=$LAB_NAME-tool
cam_ns=$LAB_NAME-cam
dev_ns=$LAB_NAME-dev
OTHER_DEVICES="198.18.1.60 198.18.1.61 198.18.1.62"
LAB_PREFIXES="198.18.0.0/15"

ns_exists() { ip netns list | awk '{print $1}' | grep -qx "$1"; }

lab_env() {
  export WINEPREFIX=$state/wineprefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export DISPLAY=:$(cat "$state/display")
  export LARKVANE_LAB=$LAB_NAME
  export LARKVANE_LAB_STATE=$state
  export LARKVANE_LAB_OTHER_DEVICES=$OTHER_DEVICES
}

check_tool_side() {
  # Every non-loopback IPv4 address of the tool side must be a lab address.
  local bad
  bad=$(ip netns exec "$tool_ns" ip -o -4 addr show | awk '$2 != "lo" {print $2, $4}' |
        grep -v -E ' 198\.1[89]\.' || true)
  if [ -n "$bad" ]; then
    echo "lab: refusing: the tool side has non-lab interfaces: $bad" >&2
    return 1
  fi
  local links
  links=$(ip netns exec "$tool_ns" ip -o link show | awk -F': ' '{print $2}' | sed 's/@.*//' |
          grep -v -E '^(lo|lab[0-2])$' || true)
  if [ -n "$links" ]; then
    echo "lab: refusing: the tool side has unknown links: $links" >&2
    return 1
  fi
}

veth() { # index tool-address cam-address
  local i=$1
  local tmp=lvt$$x$i tmpc=lvc$$x$i
  ip link add "$tmp" type veth peer name "$tmpc"
  ip link set "$tmp" netns "$tool_ns"
  ip link set "$tmpc" netns "$cam_ns"
  ip -n "$tool_ns" link set "$tmp" name "lab$i"
  ip -n "$cam_ns" link set "$tmpc" name "lab${i}c"
  ip -n "$tool_ns" addr add "$2" dev "lab$i"
  ip -n "$cam_ns" addr add "$3" dev "lab${i}c"
  ip -n "$tool_ns" link set "lab$i" up
  ip -n "$cam_ns" link set "lab${i}c" up
}

up() {
  down_quiet
  mkdir -p "$state"
  # Name look-ups inside the lab go to a server that does not exist, so they fail at once
  # instead of waiting for a query to cross the lab and time out.
  for ns in "$tool_ns" "$cam_ns" "$dev_ns"; do
    mkdir -p "/etc/netns/$ns"
    echo "nameserver 127.0.0.1" >"/etc/netns/$ns/resolv.conf"
  done
  ip netns add "$tool_ns"
  ip netns add "$cam_ns"
  ip -n "$tool_ns" link set lo up
  ip -n "$cam_ns" link set lo up
  veth 0 198.18.1.10/24 198.18.1.2/24
  veth 1 198.18.2.10/24 198.18.2.2/24
  veth 2 198.18.3.1/24 198.18.3.2/24
  ip -n "$tool_ns" route add default via 198.18.1.2 dev lab0
  ip -n "$cam_ns" route add default via 198.18.1.10 dev lab0c
  for net in 198.18.1.128/25 198.18.2.128/25 198.18.16.0/20 198.18.32.0/20 198.18.64.0/20 192.168.100.100/32; do
    ip -n "$cam_ns" route add local "$net" dev lo table local
  done
  ip netns exec "$cam_ns" sh -c "echo 1 >/proc/sys/net/ipv4/icmp_echo_ignore_all"
  # The other devices: a macvlan of lab0c moved into a namespace of its own.
  ip netns add "$dev_ns"
  ip -n "$dev_ns" link set lo up
  ip -n "$cam_ns" link add link lab0c name lab0d type macvlan mode bridge
  ip -n "$cam_ns" link set lab0d netns "$dev_ns"
  local a
  for a in $OTHER_DEVICES; do
    ip -n "$dev_ns" addr add "$a/24" dev lab0d
  done
  ip -n "$dev_ns" link set lab0d up
  check_tool_side

  # The display lives inside the tool side; its socket file is reachable from both sides.
  rm -f "$state/display"
  exec 7>"$state/display.fd"
  ip netns exec "$tool_ns" setsid Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp \
    >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  exec 7>&-
  for _ in $(seq 100); do
    [ -s "$state/display.fd" ] && break
    sleep 0.1
  done
  tr -d '\n' <"$state/display.fd" >"$state/display"
  [ -s "$state/display" ] || { echo "lab: Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; return 1; }

  lab_env
  # The prefix belongs to this lab: created and served only from inside the tool side.
  local fresh=0
  [ -f "$WINEPREFIX/system.reg" ] || fresh=1
  mkdir -p "$WINEPREFIX"
  ip netns exec "$tool_ns" wineserver -p
  if [ $fresh = 1 ]; then
    # The first program creates the prefix (Wine runs its own `wineboot --init` and waits for
    # it). No separate `wineboot -i`: on a new prefix it initialises it a second time and starts
    # a second service manager, after which RpcSs never starts, and every process that opens the
    # desktop waits 10 s on it (about 20 s per test program).
    ip netns exec "$tool_ns" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >"$state/wineboot.log" 2>&1 </dev/null || true
  fi
  # No window manager runs on the lab's display: Wine waits 2 s for one to withdraw every shown
  # top-level window it hides or destroys. Unmanaged windows are hidden at once.
  ip netns exec "$tool_ns" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >>"$state/wineboot.log" 2>&1 </dev/null || true
  # Start Wine's services and desktop process now, with their output going to a log: started
  # later by a test, they would inherit its stdout and hold the test runner's pipe open for ever.
  ip netns exec "$tool_ns" wine rundll32.exe user32.dll,GetDesktopWindow \
    >>"$state/wineboot.log" 2>&1 </dev/null || true
  # The desktop process ends a few seconds after the last program that used it, and the next
  # program to start it again gives it its own stdout: with tests run in parallel it then held a
  # test's pipe open until the suite ended. A program waiting for input that never comes keeps
  # the desktop up until the lab goes down.
  ip netns exec "$tool_ns" setsid sh -c 'sleep infinity | wine cmd /c pause' \
    >>"$state/wineboot.log" 2>&1 </dev/null &
  echo "lab $LAB_NAME up: display $DISPLAY, prefix $WINEPREFIX"
}

down_quiet() {
  if ns_exists "$tool_ns"; then
    if [ -d "$state/wineprefix" ]; then
      WINEPREFIX=$state/wineprefix ip netns exec "$tool_ns" wineserver -k >/dev/null 2>&1 || true
    fi
    # Anything still running in the namespaces goes with them.
    for ns in "$tool_ns" "$cam_ns" "$dev_ns"; do
      ns_exists "$ns" && for p in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$p" 2>/dev/null || true; done
    done
  fi
  [ -f "$state/xvfb.pid" ] && kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  rm -f "$state/xvfb.pid"
  for ns in "$tool_ns" "$cam_ns" "$dev_ns"; do
    ns_exists "$ns" && ip netns del "$ns"
    rm -rf "/etc/netns/$ns"
  done
  return 0
}

case "${1:-}" in
  up) up ;;
  down) down_quiet; echo "lab $LAB_NAME down" ;;
  check) check_tool_side ;;
  tool) shift; check_tool_side; lab_env; exec ip netns exec "$tool_ns" env LC_ALL="${LAB_LC_ALL:-zh_CN.UTF-8}" "$@" ;;
  cam) shift; lab_env; exec ip netns exec "$cam_ns" "$@" ;;
  *) echo "usage: lab.sh up|down|check|tool CMD...|cam CMD..." >&2; exit 2 ;;
esac
