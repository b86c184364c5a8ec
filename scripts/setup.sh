#!/usr/bin/env bash
# Installs what the build, the lab and the tests need; quick when everything is in place.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for pkg in cmake make g++ clang g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
           mingw-w64-x86-64-dev wine wine64 xvfb x11-utils xdotool imagemagick \
           fonts-wqy-microhei fonts-wine iproute2 googletest procps python3 clang-format curl; do
  have_pkg "$pkg" || need+=("$pkg")
done

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres wine wineserver Xvfb ip clang-format curl; do
  have_cmd "$tool" || { echo "setup: $tool is still missing" >&2; exit 1; }
done

# pugixml, the XML parser of the WS-Discovery receiver, from Debian's source package: built with
# the project (cmake/Pugixml.cmake) for both builds, so the simulator and the fuzz target parse
# with the very code the program uses. The archive's SHA-256 is the one Debian's .dsc gives.
pugixml_version=1.13
pugixml_sha256=5c5ad5d7caeb791420408042a7d88c2c6180781bf218feca259fd9d840a888e1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
third=$root/build/third_party
pugixml_dir=$third/pugixml-$pugixml_version
if [ ! -f "$pugixml_dir/src/pugixml.cpp" ]; then
  mkdir -p "$third"
  archive=$third/pugixml_$pugixml_version.orig.tar.gz
  if [ ! -f "$archive" ] || ! echo "$pugixml_sha256  $archive" | sha256sum -c --status; then
    echo "setup: downloading pugixml $pugixml_version from Debian"
    curl -fsSL --retry 3 -o "$archive.part" \
      "http://deb.debian.org/debian/pool/main/p/pugixml/pugixml_$pugixml_version.orig.tar.gz"
    mv "$archive.part" "$archive"
  fi
  if ! echo "$pugixml_sha256  $archive" | sha256sum -c --status; then
    echo "setup: $archive does not have the expected SHA-256; removed" >&2
    rm -f "$archive"
    exit 1
  fi
  rm -rf "$pugixml_dir.part"
  mkdir -p "$pugixml_dir.part"
  tar -xzf "$archive" -C "$pugixml_dir.part" --strip-components=1
  rm -rf "$pugixml_dir"
  mv "$pugixml_dir.part" "$pugixml_dir"
fi
