#!/usr/bin/env bash
# Source checks that need no build: includes between folders point one way only.
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
exit $fail
