#!/usr/bin/env bash
# Installs what the build, the lab and the tests need; quick when everything is in place.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for pkg in cmake make g++ clang g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
           mingw-w64-x86-64-dev wine wine64 xvfb x11-utils xdotool imagemagick \
           fonts-wqy-microhei fonts-wine iproute2 googletest procps python3 clang-format; do
  have_pkg "$pkg" || need+=("$pkg")
done

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres wine wineserver Xvfb ip clang-format; do
  have_cmd "$tool" || { echo "setup: $tool is still missing" >&2; exit 1; }
done
