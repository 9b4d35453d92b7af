# shellcheck shell=bash
# Helpers for transcript tests, sourced before the first command (and by the fuzzer's corpus).

# Bytes. hex 50 49 ...: writes the bytes given in hexadecimal (spaces optional). seal FILE:
# appends the MD5 digest of the file's bytes, as create mode does. patch FILE OFFSET HEX...:
# overwrites bytes in place. flip FILE OFFSET: inverts every bit of one byte, so that it
# changes for certain. bytes FILE OFFSET COUNT: the bytes in hexadecimal, 16 to a line.
# checksum FILE OFFSET COUNT: stores after the COUNT bytes from OFFSET the byte that makes them
# sum to 0 modulo 256.
hex() { printf %b "$(printf %s "$*" | tr -d ' \n' | sed 's/../\\x&/g')"; }
# shellcheck disable=SC2094 # the digest is read whole before the append
seal() { hex "$(md5sum <"$1" | cut -c1-32)" >>"$1"; }
patch() { hex "${@:3}" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
flip() { patch "$1" "$2" "$(printf %02x $(($(od -An -tu1 -j "$2" -N 1 "$1") ^ 255)))"; }
bytes() { od -An -tx1 -v -j "$2" -N "$3" "$1" | sed 's/^ //'; }
checksum() {
    patch "$1" $(($2 + $3)) "$(od -An -tu1 -v -j "$2" -N "$3" "$1" | tr -s ' ' '\n' |
        awk '{ s += $1 } END { printf "%02x", (256 - s % 256) % 256 }')"
}

# Records. header: the 35-byte header create mode writes for `-v 1.2.3 -k ...` at 12:00:00 UTC
# on 4 December 2026. action TYPE MASK: an action header with its checksum. upload MASK MAJOR
# MINOR AUX3 DESCRIPTION LENGTH: an Upload action's 34-byte record (MINOR a byte's value).
header() { hex 5049434d47465755 00 07 517e0a 0000 40ab126b 07 02 3c3c3c 0000 0123 00000000 0000 75; }
action() { hex "$(printf %02x%02x%02x "$1" "$2" $(((512 - $1 - $2) % 256)))"; }
upload() {
    action 2 "$1"
    hex "$(printf %02x%02x000000%02x "$2" "$3" "$4")"
    printf %s "${5:0:21}"
    head -c $((${#5} < 21 ? 21 - ${#5} : 0)) /dev/zero
    hex "$(printf %08x "$6" | sed 's/\(..\)\(..\)\(..\)\(..\)/\4\3\2\1/')"
}

# Processes. busy PID: waits until the process has read 1 MiB, or has ended. blocked PID WHERE:
# waits (5 s at most) until the process sleeps in a kernel function whose name matches the
# pattern WHERE (opening a FIFO: partner; writing a full pipe: pipe_w). gone PID...: ends the
# processes and waits until they have ended: a FIFO's buffer, and the bytes in it, live on
# while a killed reader has yet to exit, and the next row would find it full.
busy() {
    for _ in $(seq 20000); do
        [ "$(awk '/^rchar:/ { print $2 }' "/proc/$1/io" 2>/dev/null || echo 1048576)" -lt 1048576 ] || return 0
        sleep 0.001
    done
}
blocked() { for _ in $(seq 500); do ! grep -qE "$2" "/proc/$1/wchan" 2>/dev/null || return 0; sleep 0.01; done; }
gone() { kill "$@" 2>/dev/null; wait "$@" 2>/dev/null; true; }

# signalled ARGS...: runs hpmimg in place of the shell, with SIGINT and SIGQUIT at their
# defaults: a shell starts background jobs with them ignored (and cannot undo that when it
# was started so itself), and hpmimg keeps signals ignored on entry. Start it with `&`.
signalled() { exec env --default-signal=INT,QUIT hpmimg "$@"; }

# mounted SCRIPT ARGS...: runs the sh script, which exits 99 where it cannot mount, in a mount
# namespace of its own: a user namespace's (any user, where the kernel and any seccomp filter
# allow one), else root's (CAP_SYS_ADMIN, and / a mount point, which a plain chroot's is not).
# Where neither can mount, prints the one line of a skipped row.
mounted() {
    local how
    for how in -rm -m; do
        unshare $how true 2>/dev/null || continue
        unshare $how sh -c "$@"
        [ $? = 99 ] || return 0
    done
    echo "skip: nothing can be mounted: no user namespace here, nor CAP_SYS_ADMIN with / a mount point"
}
# on_tmpfs DIR KIB COMMAND: runs the shell command in DIR with a tmpfs of KIB KiB mounted on it.
# shellcheck disable=SC2016 # expanded by the sh that mounts
on_tmpfs() { mounted 'mount -t tmpfs -o size="$2"k tmpfs "$1" 2>/dev/null || exit 99; cd "$1" && eval "$3"' sh "$@"; }

# c: create mode's options up to the image's name, revisions 1.0 (hpmimg $c fw.hpm -k k); exported
# for the scripts that `mounted` runs.
export c="-c -v 1.0 -e 1.0 -h"

# can_trace: whether strace runs here. held NAME CALL ACTION ARGS...: runs hpmimg ARGS, its
# output in ../out, under strace, which holds it for a second in its first CALL on the file
# NAME (at the call's return where phase=exit); runs the shell command ACTION meanwhile, with
# the tool's process ID in pid, and prints the status and the count of notices. strace finds
# the call by the file it names, not by counting calls.
can_trace() { strace -o /dev/null true 2>/dev/null; }
held() {
    ASAN_OPTIONS=detect_leaks=0 strace --seccomp-bpf -f --quiet=all -o /dev/null -P "$1" -e trace="$2" \
        -e inject="$2":delay_"${phase:-enter}"=1000000:when=1 hpmimg "${@:4}" >../out 2>&1 &
    for _ in $(seq 500); do # until the tool sits in the held call: stopped twice, 0.2 s apart
        kill -0 $! 2>/dev/null || break
        read -r pid 2>/dev/null </proc/$!/task/$!/children
        grep -qs 'tracing stop' /proc/"$pid"/status && sleep 0.2 && grep -qs 'tracing stop' /proc/"$pid"/status && break
        sleep 0.01
    done
    eval "$3"
    wait $! 2>/dev/null
    echo "[$?] notices $(grep -c caught ../out)"
}

# The bash completion of the source tree, for the rows that load it.
# shellcheck disable=SC2034 # used by the transcripts
completion=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../../completion/hpmimg.bash")
