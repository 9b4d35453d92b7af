#!/usr/bin/env bash
# Sends SIGINT, SIGTERM or SIGQUIT at a random instant to create, test and extract runs of
# the optimised build (bench preset) and counts the runs that did not end within 3 seconds
# (killed then), the runs that ended with status 3, those that ended before the signal came,
# those the signal ended itself (it came before the tool had set up its handlers), and any
# other; then the outputs left cut or stale and the temporary files left behind.
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
image_size=$(stat -c %s img.hpm)
hung=0 stopped=0 finished=0 early=0 other=0 cut=0 left=0
# Background jobs start with SIGINT and SIGQUIT ignored, which the tool keeps; restore them.
signalled() { exec env --default-signal=INT,QUIT "$tool" "$@"; }
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
    130 | 131 | 143) early=$((early + 1)) ;;
    137) ;;
    *) other=$((other + 1)) ;;
    esac
    [ ! -e rfs.out ] || cmp -s rfs.out rfs.img || cut=$((cut + 1))
    [ ! -e out.hpm ] || [ "$(stat -c %s out.hpm)" = "$image_size" ] || cut=$((cut + 1))
    left=$((left + $(find . -name '.hpmimg-*' | wc -l)))
done
echo "$runs runs: $hung did not end within 3 s, $stopped stopped with status 3," \
    "$finished ended before the signal, $early ended by the signal before the handlers," \
    "$other other; $cut outputs cut, $left temporary files left"
