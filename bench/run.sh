#!/usr/bin/env bash
# Times hpmimg on 1 GiB of random data against md5sum and cp of the same data and prints,
# per mode, the median of several runs, its ratio to the baseline with the goal, and the
# peak RSS. Baselines: md5sum + cp for create and extract, md5sum alone for test.
# Usage: bench/run.sh [runs]    (default 5; builds the release preset when needed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
tool=$PWD/build/release/hpmimg
work=$PWD/build/release/bench-data
data=$work/data-1g.bin
mkdir -p "$work"
[ -x "$tool" ] || cmake --workflow --preset release >/dev/null
[ -f "$data" ] || head -c 1G /dev/urandom >"$data"
cat "$data" >/dev/null # into the page cache, as every later run finds it

# median_run COMMAND...: runs the command $runs times; sets seconds and rss_kib.
median_run() {
    local times=() out=$work/time.out
    rss_kib=0
    for ((n = 0; n < runs; n++)); do
        /usr/bin/time -f '%e %M' -o "$out" "$@" >/dev/null
        read -r secs kib <"$out"
        times+=("$secs")
        ((kib > rss_kib)) && rss_kib=$kib
    done
    seconds=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
}

# line MODE SECONDS BASELINE_SECONDS GOAL RSS_KIB
line() {
    awk -v m="$1" -v t="$2" -v b="$3" -v g="$4" -v r="$5" 'BEGIN{
        printf "%-8s %6.2f s  against %6.2f s  ratio %4.2f (goal <= %.1f)  peak RSS %5.1f MiB\n",
            m, t, b, t / b, g, r / 1024 }'
}

median_run md5sum "$data"
md5sum_s=$seconds
median_run cp "$data" "$work/copy.bin"
cp_s=$seconds
baseline=$(awk -v a="$md5sum_s" -v b="$cp_s" 'BEGIN{print a + b}')
echo "md5sum   $md5sum_s s, cp $cp_s s, $runs runs each, medians; $(nproc) cores"

median_run "$tool" -c -v 1.0 -e 1.0 -h "$work/image.hpm" -r "$data"
line "create" "$seconds" "$baseline" 1.3 "$rss_kib"
# Test mode reads the data twice: once walking the actions, once for the trailer.
median_run "$tool" -t -h "$work/image.hpm"
line "test" "$seconds" "$md5sum_s" 2.2 "$rss_kib"
median_run "$tool" -x -h "$work/image.hpm" -r "$work/extracted.bin"
line "extract" "$seconds" "$baseline" 2.3 "$rss_kib"
cmp "$data" "$work/extracted.bin"
rm -f "$work/copy.bin" "$work/extracted.bin"
