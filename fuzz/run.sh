#!/usr/bin/env bash
# Runs the fuzzer (fuzz/OllyDbg.exe: the real Zentrilo.dll in the simulated
# debugger) under Wine: here when this machine runs 32-bit code, otherwise in
# the emulated guest (tests/vm/run-in-guest.sh, under the shared guest lock).
#
#   fuzz/run.sh [--kind exchange|project|settings|x64dbg|json|debuggee|all] [--seed N] [--first I] [--count C]
#               [--chunk M] [--build DIR] [--out DIR]
#   fuzz/run.sh --replay FILE      runs again what a saved failure names
#
# Inputs first .. first+count-1 of each kind, M per Wine process (default
# 2000). After a crash the next process starts at the input after the one
# that crashed. Every failure or crash is saved as DIR/KIND-seedN-indexI.txt
# (default DIR: BUILD/fuzz/failures), which --replay runs again: the same
# inputs from the start of its process up to the failing one. The last line
# per kind sums up inputs, operations, checks, failures, crashes and time.
# Exit code 0 when nothing failed or crashed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=all seed=1 first=0 count=1000 chunk=2000 build=$root/build/tests out="" replay=""
while [ $# -gt 0 ]; do
  case $1 in
    --kind) kind=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --first) first=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --chunk) chunk=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --out) mkdir -p "$2"; out=$(cd "$2" && pwd); shift 2 ;;
    --replay) replay=$2; shift 2 ;;
    *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
out=${out:-$build/fuzz/failures}
program=$build/fuzz/OllyDbg.exe
[ -x "$program" ] || { echo "run.sh: $program is missing; build first (./test.sh)" >&2; exit 2; }

emulated=${ZENTRILO_EMULATED:-}
if [ -z "$emulated" ]; then
  if "$root/tests/runs-32-bit-code.sh" "$build" >/dev/null; then emulated=0; else emulated=1; fi
fi
# One Wine process: the fuzzer's arguments; its output on stdout.
run_once() {
  if [ -n "${ZENTRILO_FUZZ_RUNNER:-}" ]; then   # a stand-in, to try this script itself
    "$ZENTRILO_FUZZ_RUNNER" "$program" "$@"
  elif [ "$emulated" = 1 ]; then
    flock /tmp/zentrilo-guest-run.lock "$root/tests/vm/run-in-guest.sh" "$program" --gtest_color=no "$@"
  else
    "$root/tests/wine-prefix.sh" "$build/wineprefix" >/dev/null
    "$root/tests/run-under-wine.sh" "$build/wineprefix" "$program" --gtest_color=no "$@"
  fi
}

field() { sed -n "s/.*[ ]$1=\([^ :]*\).*/\1/p" <<<"$2" | head -1; }

if [ -n "$replay" ]; then
  line=$(head -1 "$replay")
  k=$(field kind " $line") s=$(field seed " $line") f=$(field first " $line") i=$(field index " $line")
  echo "run.sh: replaying $k seed $s, inputs $f to $i"
  set +e
  run_once --kind="$k" --seed="$s" --first="$f" --count=$((i - f + 1)) --progress=100000 | grep -a 'FUZZ-'
  exit "${PIPESTATUS[0]}"
fi

# Saves a failure line (FUZZ-FAIL or FUZZ-CRASH) as a file that replays it.
save() {
  local line=$1 k s f i
  k=$(field kind " $line") s=$(field seed " $line") f=$(field first " $line") i=$(field index " $line")
  mkdir -p "$out"
  printf 'kind=%s seed=%s first=%s index=%s\n%s\n' "$k" "$s" "$f" "$i" "$line" >"$out/$k-seed$s-index$i.txt"
  echo "run.sh: saved $out/$k-seed$s-index$i.txt"
}

kinds=$kind
[ "$kind" = all ] && kinds="exchange project settings x64dbg json debuggee"
status=0
for k in $kinds; do
  started=$(date +%s)
  inputs=0 operations=0 checks=0 failures=0 crashes=0 processes=0
  at=$first end=$((first + count))
  while [ "$at" -lt "$end" ]; do
    n=$((end - at < chunk ? end - at : chunk))
    log=$(mktemp)
    set +e
    run_once --kind="$k" --seed="$seed" --first="$at" --count="$n" --progress=500 >"$log" 2>&1
    set -e
    processes=$((processes + 1))
    while IFS= read -r line; do save "$line"; done < <(grep -a '^FUZZ-FAIL' "$log" | sort -u -t: -k1,1)
    failures=$((failures + $(grep -ac '^FUZZ-FAIL' "$log" || true)))
    done_line=$(grep -a '^FUZZ-DONE' "$log" | tail -1 || true)
    crash_line=$(grep -a 'FUZZ-CRASH' "$log" | tail -1 | sed 's/^.*FUZZ-CRASH/FUZZ-CRASH/' || true)
    if [ -n "$done_line" ]; then
      operations=$((operations + $(field operations " $done_line")))
      checks=$((checks + $(field checks " $done_line")))
      inputs=$((inputs + n)) at=$((at + n))
    elif [ -n "$crash_line" ]; then
      echo "$crash_line"
      save "$crash_line"
      crashes=$((crashes + 1))
      crashed=$(field index " $crash_line")
      inputs=$((inputs + crashed + 1 - at)) at=$((crashed + 1))
    else
      # Ended with no report (a hang cut by the time limit, or the host died):
      # saved as a failure of the process's last input, and the chunk is skipped.
      last=$((at + n - 1))
      echo "run.sh: the run of $k from $at ended without a report; its end:"; tail -5 "$log"
      save "FUZZ-FAIL kind=$k seed=$seed first=$at index=$last step=?: ended without a report"
      crashes=$((crashes + 1))
      inputs=$((inputs + n)) at=$((at + n))
    fi
    grep -a '^FUZZ-TIME' "$log" | tr '\n' ';' | sed 's/FUZZ-TIME //g; s/^/run.sh: times: /; s/;$/\n/' || true
    echo "run.sh: $k: $inputs of $count inputs done, $failures failures, $crashes crashes, $(( $(date +%s) - started )) s"
    rm -f "$log"
  done
  echo "FUZZ-SUMMARY kind=$k seed=$seed first=$first inputs=$inputs operations=$operations checks=$checks" \
       "failures=$failures crashes=$crashes processes=$processes seconds=$(( $(date +%s) - started ))"
  [ $((failures + crashes)) -eq 0 ] || status=1
done
exit $status
