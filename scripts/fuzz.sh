#!/usr/bin/env bash
# Runs the libFuzzer targets of the native (clang) build for SECONDS in all (default 20, shared
# equally between the targets run). A longer campaign: `scripts/fuzz.sh 3600`; some targets only:
# `scripts/fuzz.sh 600 ini color`. Targets: wire (received datagrams, name fields), ini (INI bytes
# and language-file values), color (colour texts), skinname (skin file names), onvif (WS-Discovery
# datagrams of other makers' devices).
#
# Each target keeps its corpus in build/fuzz-corpus/NAME, reused and grown by every run (it
# survives a rebuild of build/native). Exits non-zero when a target crashes or a check in it
# fails; the crashing input is kept in build/artifacts/fuzz/.
#   FUZZ_BUILD_DIR  the native (clang) build directory, default build/native
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-20}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(wire ini color skinname onvif)
build=${FUZZ_BUILD_DIR:-$root/build/native}
corpora=$root/build/fuzz-corpus
artifacts=$root/build/artifacts/fuzz
mkdir -p "$artifacts"

case "$seconds" in '' | *[!0-9]*) echo "fuzz.sh: SECONDS must be a whole number" >&2; exit 2 ;; esac
share=$((seconds / ${#targets[@]}))
[ "$share" -ge 1 ] || share=1

# Starting points, written once into an empty corpus.
seed_wire() {
  # One well-formed reply: type 87, a 20-byte UTF-8 name without a terminator (its last
  # character cut by the field), an accepted id serial.
  local seed=$1/seed-reply
  head -c 1088 /dev/zero >"$seed"
  put() { printf '%b' "$2" | head -c "${3:-1088}" | dd of="$seed" bs=1 seek="$1" conv=notrunc status=none; }
  put 0 'W'
  put 4 'HdvsGet'
  put 28 '\xe6\x91\x84\xe5\x83\x8f\xe5\xa4\xb4\xe4\xb8\x80\xe5\x8f\xb7\xe6\x9c\xba\xe5\x99\xa8' 20
  put 76 '192.168.1.20'
  put 288 'a1b2c3d4e5f6'
}
seed_ini() {
  # The fuzzer reads: section, key, other key, value (each ended by a lone backslash), then the file.
  printf 'DIALOG-2100\\String-5-1\\UTF8Txt\\\xe4\xb8\xad\xe6\x96\x87\\[DIALOG-2100]\r\nUTF8Txt=1\r\nString-5-1=old\r\nItemPos-1000-1=20,30,70,25\r\n' >"$1/seed-lang"
  printf 'Main\\Key\\Other\\"quoted"\\\xef\xbb\xbf[Other]\nKey=no\n[ main ]\nkey = -1,-1,600,400  10,10\nOther=1' >"$1/seed-bom"
}
seed_onvif() {
  # A ProbeMatches of one device, a Hello and a Bye, as the simulator sends them.
  local ns='xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" xmlns:dn="http://www.onvif.org/ver10/network/wsdl"'
  local act='http://schemas.xmlsoap.org/ws/2005/04/discovery'
  local dev='<a:EndpointReference><a:Address>urn:uuid:1</a:Address></a:EndpointReference><d:Types>dn:NetworkVideoTransmitter</d:Types><d:Scopes>onvif://www.onvif.org/name/Caf%C3%A9 onvif://www.onvif.org/hardware/X onvif://www.onvif.org/MAC/00-11-22-33-44-55</d:Scopes><d:XAddrs>http://[fe80::1]/ http://h.local/ http://198.18.1.200:80/onvif</d:XAddrs>'
  printf '<s:Envelope %s><s:Header><a:Action>%s/ProbeMatches</a:Action><a:RelatesTo>urn:uuid:9</a:RelatesTo></s:Header><s:Body><d:ProbeMatches><d:ProbeMatch>%s</d:ProbeMatch></d:ProbeMatches></s:Body></s:Envelope>' "$ns" "$act" "$dev" >"$1/seed-matches"
  printf '<s:Envelope %s><s:Header><a:Action>%s/Hello</a:Action></s:Header><s:Body><d:Hello>%s</d:Hello></s:Body></s:Envelope>' "$ns" "$act" "$dev" >"$1/seed-hello"
  printf '<s:Envelope %s><s:Header><a:Action>%s/Probe</a:Action><a:MessageID>urn:uuid:9</a:MessageID></s:Header><s:Body><d:Probe><d:Types>dn:NetworkVideoTransmitter</d:Types></d:Probe></s:Body></s:Envelope>' "$ns" "$act" >"$1/seed-probe"
}
seed_color() {
  printf 'RGB(255,0,0)' >"$1/seed-rgb"
  printf '#1A2b3C' >"$1/seed-hex"
}
seed_skinname() {
  printf ' Skins\\\\Dlg\\\\\\Btn.bmp\t' >"$1/seed-relative"
  printf '\\\\\\\\server\\\\share\\\\a.png' >"$1/seed-unc"
}

status=0
for name in "${targets[@]}"; do
  fuzzer=$build/fuzz/lv_fuzz_$name
  if ! cmake --build "$build" --target "lv_fuzz_$name" -j2 >/dev/null; then
    echo "fuzz.sh: cannot build lv_fuzz_$name in $build (needs a clang build)" >&2
    exit 1
  fi
  corpus=$corpora/$name
  mkdir -p "$corpus"
  # A corpus grown before it moved here (build/native/fuzz-corpus) is taken over once.
  if [ -z "$(ls -A "$corpus")" ] && [ -d "$build/fuzz-corpus/$name" ]; then
    cp -n "$build/fuzz-corpus/$name"/* "$corpus"/ 2>/dev/null || true
  fi
  if [ -z "$(ls -A "$corpus")" ] && declare -F "seed_$name" >/dev/null; then
    "seed_$name" "$corpus"
  fi
  echo "== fuzz $name: ${share} s, corpus $corpus ($(ls "$corpus" | wc -l) inputs)"
  # WS-Discovery datagrams run to 64 KB; deep nesting needs room to grow.
  max_len=2048
  [ "$name" = onvif ] && max_len=16384
  "$fuzzer" -max_total_time="$share" -max_len="$max_len" -timeout=10 \
    -artifact_prefix="$artifacts/$name-" -print_final_stats=1 "$corpus" || status=1
done
exit $status
