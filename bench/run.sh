#!/usr/bin/env bash
# Times hpmimg on 1 GiB of random data against md5sum and a copy of the same data, all
# taking turns in each round so that a busy moment on a shared machine hits them alike, and
# prints per mode the median, its ratio to the baseline with the goal, the peak RSS (also
# on a 1 KiB component) and the bytes the mode read from its input (counted with strace).
# Baselines: md5sum + (cp to a temporary, sync -d of it, mv onto the target, sync of the
# folder) for create and extract, which write a new file, flush it and rename it onto theirs;
# md5sum alone for test.
# Usage: [HPMIMG=binary] bench/run.sh [runs]    (default 5 runs of the bench preset's binary,
# built when needed; HPMIMG times another build, an older commit's say, under the same script)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
tool=$(realpath -m "${HPMIMG:-build/bench/hpmimg}")
work=$PWD/build/bench/bench-data
data=$work/data-1g.bin
[ -x "$tool" ] || bash bench/build.sh >/dev/null
[ -x /usr/bin/time ] || bash .ci/apt-install.sh time >&2
mkdir -p "$work"
[ -f "$data" ] || head -c 1G /dev/urandom >"$data"
head -c 1K "$data" >"$work/small.bin"
cat "$data" >/dev/null # into the page cache, as every later run finds it
image=$work/image.hpm small=$work/small.hpm out=$work/extracted.bin
"$tool" -c -v 1.0 -e 1.0 -h "$image" -r "$data"
"$tool" -c -v 1.0 -e 1.0 -h "$small" -r "$work/small.bin"

# shellcheck disable=SC2016 # expanded by sh
printf '%s\n' 'cp "$1" "$2.tmp" && sync -d "$2.tmp" && mv "$2.tmp" "$2" && sync "$(dirname "$2")"' \
    >"$work/cp-mv.sh"
names=(md5sum cp create test extract)
commands=("md5sum $data" "sh $work/cp-mv.sh $data $work/copy.bin" "$tool -c -v 1.0 -e 1.0 -h $image -r $data"
          "$tool -t -h $image" "$tool -x -h $image -r $out")
outputs=("" "$work/copy.bin" "$image" "" "$out")
# The output a command replaces is written back and dropped from the page cache first, as a
# rebuild finds the image made an hour ago: otherwise a writer that truncates its output in
# place reuses the dirty pages of the previous round and never writes at all, while one that
# writes a new file and renames it (as hpmimg does) must take fresh memory.
evict() { [ ! -f "$1" ] || dd if=/dev/null of="$1" oflag=nocache conv=notrunc,fdatasync count=0 status=none; }
declare -A times rss
# Each round starts one command later, so that no command always follows the same one: the
# gigabyte a writer leaves dirty slows whatever comes next.
for ((n = 0; n < runs; n++)); do
    for ((k = 0; k < ${#names[@]}; k++)); do
        i=$(((n + k) % ${#names[@]}))
        evict "${outputs[i]}"
        # shellcheck disable=SC2086 # the command is a word list
        /usr/bin/time -f '%e %M' -o "$work/time.out" ${commands[i]} >/dev/null
        read -r secs kib <"$work/time.out"
        times[${names[i]}]+="$secs "
        ((kib > ${rss[${names[i]}]:-0})) && rss[${names[i]}]=$kib
    done
done
# shellcheck disable=SC2086 # the times are a word list
median() { printf '%s\n' ${times[$1]} | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
# small_rss ARGS...: peak RSS in KiB of one run on the image of a 1 KiB component.
small_rss() { /usr/bin/time -f '%M' -o "$work/time.out" "$tool" "$@" >/dev/null; cat "$work/time.out"; }
# bytes_read FILE ARGS...: bytes one run reads from FILE, or "?" without strace.
bytes_read() {
    local file=$1
    shift
    command -v strace >/dev/null || { echo "?"; return; }
    strace -f -qq -y -e trace=read -o "$work/trace" "$tool" "$@" >/dev/null
    awk -v f="$(basename "$file")>" 'index($0, f) { n += $NF } END { print n + 0 }' "$work/trace"
}

md5sum_s=$(median md5sum) cp_s=$(median cp)
baseline=$(awk -v a="$md5sum_s" -v b="$cp_s" 'BEGIN{print a + b}')
echo "md5sum $md5sum_s s, cp + mv $cp_s s: medians of $runs rounds; $(nproc) cores; 1 GiB image"
# line MODE BASELINE_SECONDS GOAL SMALL_RSS_KIB BYTES_READ
line() {
    awk -v m="$1" -v t="$(median "$1")" -v b="$2" -v g="$3" -v r="${rss[$1]}" -v s="$4" \
        -v read="$5" -v size="$(stat -c %s "$image")" 'BEGIN{
        printf "%-8s %6.2f s  against %6.2f s  ratio %4.2f (goal <= %.2f)  peak RSS %3.1f MiB" \
            " (1 KiB: %3.1f)  read %.0f bytes (%.4f x image)\n",
            m, t, b, t / b, g, r / 1024, s / 1024, read, read / size }'
}
line create "$baseline" 1.05 "$(small_rss -c -v 1.0 -e 1.0 -h "$small.new" -r "$work/small.bin")" \
    "$(bytes_read "$data" -c -v 1.0 -e 1.0 -h "$image" -r "$data")"
line test "$md5sum_s" 1.05 "$(small_rss -t -h "$small")" "$(bytes_read "$image" -t -h "$image")"
line extract "$baseline" 1.10 "$(small_rss -x -h "$small" -r "$out")" \
    "$(bytes_read "$image" -x -h "$image" -r "$out")"
cmp "$data" "$out"
rm -f "$work/copy.bin" "$out" "$small.new"
