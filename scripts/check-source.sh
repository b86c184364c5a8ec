#!/usr/bin/env bash
# Source checks that need no build: includes between folders point one way only, and every
# C++ source is laid out as .clang-format says (`clang-format -i FILE` lays one out).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# The folders each folder may include from. A folder always includes its own headers.
declare -A allowed=(
  [base]=""
  [platform]="base"
  [net]="base"
  [protocol]="base net"
  [controls]="base platform"
  [dialogkit]="base platform controls"
  [app]="base platform controls dialogkit net protocol"
)

fail=0
for dir in "${!allowed[@]}"; do
  while IFS=: read -r file _ text; do
    used=${text#*\"}
    used=${used%%/*}
    [ "$used" = "$dir" ] && continue
    case " ${allowed[$dir]} " in
      *" $used "*) ;;
      *) echo "check-source: $file includes $used/, which $dir/ must not depend on" >&2; fail=1 ;;
    esac
  done < <(grep -rnE '^#include "[a-z]+/' "$dir")
done
[ $fail = 0 ] && echo "check-source: includes point one way"

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if clang-format --dry-run --Werror "${sources[@]}" 2>/dev/null; then
  echo "check-source: ${#sources[@]} sources follow .clang-format"
else
  clang-format --dry-run "${sources[@]}" 2>&1 | grep -E '^[^ ].*: warning:' | cut -d: -f1 | sort -u |
    sed 's/^/check-source: not laid out by .clang-format: /' >&2
  fail=1
fi
exit $fail
