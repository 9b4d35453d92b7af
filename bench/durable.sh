#!/usr/bin/env bash
# What it costs that status 0 means on the disk. Times create and extract of one component
# of 256 MiB and of 1 GiB on the checkout's own (disk-backed) file system against
#   the durable baseline: md5sum + cp to a temporary + sync -d of it + mv + sync of the folder,
#   the floor: dd bs=1M conv=fdatasync of the same bytes,
# all taking turns in each round, and prints the medians and the median of each round's ratio
# (goal: at most 1.0 against the baseline; aim: at most 1.5 against the floor).
# Usage: [HPMIMG=binary] bench/durable.sh [runs]    (default 5 rounds of the bench preset)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
tool=$(realpath -m "${HPMIMG:-build/bench/hpmimg}")
work=$PWD/build/bench/durable-data
[ -x "$tool" ] || bash bench/build.sh >/dev/null
mkdir -p "$work"
# shellcheck disable=SC2016 # expanded by sh
printf '%s\n' 'md5sum "$1" >/dev/null && cp "$1" "$2.tmp" && sync -d "$2.tmp" && mv "$2.tmp" "$2" &&
    sync "$(dirname "$2")"' >"$work/baseline.sh"
# The output a command replaces is flushed and dropped from the page cache first, so that no
# command finds the dirty pages of another's run, nor pays for writing them back.
evict() { [ ! -f "$1" ] || dd if=/dev/null of="$1" oflag=nocache conv=notrunc,fdatasync count=0 status=none; }
seconds() { # COMMAND...: wall-clock seconds of one run
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

for size in 256M 1G; do
    data=$work/data-$size.bin image=$work/image-$size.hpm
    [ -f "$data" ] || head -c "$size" /dev/urandom >"$data"
    cat "$data" >/dev/null # into the page cache, as every later run finds it
    "$tool" -c -v 1.0 -e 1.0 -h "$image" -r "$data"
    names=(create extract baseline floor)
    commands=("$tool -c -v 1.0 -e 1.0 -h $work/out.hpm -r $data" "$tool -x -h $image -r $work/out.bin"
        "sh $work/baseline.sh $data $work/copy.bin" "dd if=$data of=$work/dd.bin bs=1M conv=fdatasync status=none")
    outputs=("$work/out.hpm" "$work/out.bin" "$work/copy.bin" "$work/dd.bin")
    declare -A times=()
    for ((n = 0; n < runs; n++)); do
        for ((k = 0; k < ${#names[@]}; k++)); do
            i=$(((n + k) % ${#names[@]}))
            evict "${outputs[i]}"
            sync
            # shellcheck disable=SC2086 # the command is a word list
            times[${names[i]}]+="$(seconds ${commands[i]}) "
        done
    done
    # ratio A B: the median of A's time over B's, round by round.
    ratio() {
        local -a a b r=()
        read -ra a <<<"${times[$1]}"
        read -ra b <<<"${times[$2]}"
        for ((n = 0; n < runs; n++)); do r+=("$(awk -v x="${a[n]}" -v y="${b[n]}" 'BEGIN { printf "%.2f", x / y }')"); done
        median "${r[@]}"
    }
    # shellcheck disable=SC2086 # each list of times is split into its figures
    echo "$size, medians of $runs rounds on $(df -T "$work" | awk 'NR == 2 { print $2 " (" $1 ")" }'):" \
        "baseline $(median ${times[baseline]}) s, floor $(median ${times[floor]}) s"
    for mode in create extract; do
        # shellcheck disable=SC2086
        echo "  $mode $(median ${times[$mode]}) s: $(ratio "$mode" baseline)x the baseline (goal <= 1.0)," \
            "$(ratio "$mode" floor)x the floor (aim <= 1.5)"
    done
    cmp "$data" "$work/out.bin"
    rm -f "$work"/out.* "$work/copy.bin" "$work/dd.bin"
    unset times
done
