#!/usr/bin/env bash
# Sends SIGINT, SIGTERM or SIGQUIT at a random instant to create, test and extract runs of
# the optimised build (bench preset) and counts the runs that did not end within 3 seconds
# (killed then), the runs that ended with status 3, those that ended before the signal came,
# and any other.
# Usage: bench/signal-storm.sh [runs]    (default 1200)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1200}
tool=$PWD/build/bench/hpmimg
[ -x "$tool" ] || bash bench/build.sh >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 8M /dev/urandom >rfs.img
"$tool" -c -v 1.0 -e 1.0 -h img.hpm -r rfs.img >/dev/null
modes=("-c -v 1.0 -e 1.0 -h out.hpm -r rfs.img" "-t -h img.hpm" "-x -h img.hpm -r rfs.out")
signals=(INT TERM QUIT)
hung=0 stopped=0 finished=0 other=0
# Background jobs start with SIGINT and SIGQUIT ignored, which the tool keeps; restore them.
signalled() { trap - INT QUIT; exec "$tool" "$@"; }
for ((n = 0; n < runs; n++)); do
    # shellcheck disable=SC2086 # the mode is a word list
    signalled ${modes[n % 3]} >out 2>&1 &
    pid=$!
    sleep "0.0$((RANDOM % 30))"
    kill -"${signals[RANDOM % 3]}" $pid 2>/dev/null || true
    for ((tick = 0; tick < 300; tick++)); do
        kill -0 $pid 2>/dev/null || break
        sleep 0.01
    done
    if kill -0 $pid 2>/dev/null; then
        hung=$((hung + 1))
        kill -KILL $pid
    fi
    status=0
    wait $pid || status=$?
    case $status in
    3) stopped=$((stopped + 1)) ;;
    0) finished=$((finished + 1)) ;;
    137) ;;
    *) other=$((other + 1)) ;;
    esac
done
echo "$runs runs: $hung did not end within 3 s, $stopped stopped with status 3," \
    "$finished ended before the signal, $other other"
