#!/usr/bin/env bash
# Signals at awkward instants to create, test and extract runs of the optimised build (bench
# preset), or of the binary named by $HPMIMG. Five kinds of run take turns:
#   stopping  SIGINT, SIGTERM or SIGQUIT at a random instant
#   ending    another signal whose default action ends a process (SIGPIPE, SIGALRM, SIGUSR1,
#             ..., the real-time ones), sent by another process at a random instant
#   kill      SIGKILL at a random instant
#   reader    extract of an image of 300 small Upload actions, its standard output read by
#             `head -c N`, which closes it after a random number of bytes (SIGPIPE)
#   rename    any of these signals while an output is renamed into place: strace holds every
#             rename for 0.3 s, and the signal comes while the tool is held there
# For each kind it counts the runs, those that did not end within 3 s (killed then), and how
# the others ended: status 3, by the signal itself, status 0 (before the signal came), or any
# other way (a status 3 for a signal that is not a stopping one, a status 1). Then what they
# left: outputs cut (neither the old file nor the whole new one), status 3 with the last
# output new (a stopped run must leave it as it was), and temporary files (.hpmimg-*).
# Usage: bench/signal-storm.sh [runs]    (default 1000; strace is installed when missing)
# KINDS="reader rename" runs those kinds alone; HPMIMG=path storms another binary.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000}
tool=${HPMIMG:-$PWD/build/bench/hpmimg}
[ -n "${HPMIMG:-}" ] || [ -x "$tool" ] || bash bench/build.sh >/dev/null
tool=$(realpath "$tool")
command -v strace >/dev/null || bash .ci/apt-install.sh strace >/dev/null
work=$(mktemp -d)
# No EXIT trap: a child that a signal hits before it has started the tool would run it too.
trap 'rm -rf "$work"; exit 130' INT TERM
cd "$work"
ulimit -c 0 # SIGQUIT, SIGXCPU and SIGSYS dump core by default

head -c 4M /dev/urandom >k.img
head -c 4M /dev/urandom >rfs.img
head -c 4K /dev/urandom >small.img
"$tool" -c -v 1.0 -e 1.0 -h img.hpm -k k.img -r rfs.img >/dev/null
"$tool" -c -v 1.0 -e 1.0 -h one.hpm -r small.img >/dev/null
# 300 copies of the one Upload action with its data, between the header with its Prepare
# action and the trailer (the MD5 then says Error, which the walk does not mind).
{
    head -c 38 one.hpm
    for ((n = 0; n < 300; n++)); do tail -c +39 one.hpm | head -c $((34 + 4096)); done
    tail -c 16 one.hpm
} >many.hpm
image_size=$(stat -c %s img.hpm)
printf old >old

stopping=(INT TERM QUIT)
ending=(PIPE ALRM USR1 USR2 VTALRM PROF XCPU IO PWR SYS STKFLT RTMIN RTMAX)
# shellcheck disable=SC2034 # read through pick's name reference
any=("${stopping[@]}" "${ending[@]}" KILL)
read -ra kinds <<<"${KINDS:-stopping ending kill reader rename}"
declare -A total hung stopped by_signal finished other cut stale left
for kind in "${kinds[@]}"; do
    total[$kind]=0 hung[$kind]=0 stopped[$kind]=0 by_signal[$kind]=0 finished[$kind]=0
    other[$kind]=0 cut[$kind]=0 stale[$kind]=0 left[$kind]=0
done

# The mode's arguments, and its outputs with the whole content each must have, the last one
# last; every output holds "old" before the run.
set_mode() {
    case $1 in
    create) args=(-c -v 1.0 -e 1.0 -h out.hpm -k k.img -r rfs.img) outputs=(out.hpm) ;;
    test) args=(-t -h img.hpm) outputs=() ;;
    extract) args=(-x -h img.hpm -k k.out -r rfs.out) outputs=(k.out rfs.out) ;;
    many) args=(-x -h many.hpm -r rfs.out) outputs=(rfs.out) ;;
    esac
    for output in "${outputs[@]}"; do cp old "$output"; done
}
whole() {
    case $1 in
    out.hpm) [ "$(stat -c %s out.hpm)" = "$image_size" ] ;;
    k.out) cmp -s k.out k.img ;;
    rfs.out) cmp -s rfs.out rfs.img || cmp -s rfs.out small.img ;;
    esac
}
pick() { local -n list=$1; echo "${list[RANDOM % ${#list[@]}]}"; }
pause() { sleep "$(printf '0.%03d' $((RANDOM % $1)))"; }
# The tool with SIGINT and SIGQUIT at their defaults: background jobs start with them ignored.
# shellcheck disable=SC2054 # env takes the list of signals as one word
run=(env --default-signal=INT,QUIT "$tool")
# stopped_tool PID: the tool is stopped by strace; held PID: for 20 ms, which only a held
# rename does (the tool stops at no other call).
stopped_tool() {
    local _pid _name letter
    [ /proc/"$1"/exe -ef "$tool" ] && read -r _pid _name letter _ <"/proc/$1/stat" 2>/dev/null &&
        [ "$letter" = t ]
}
held() { stopped_tool "$1" && sleep 0.02 && stopped_tool "$1"; }

for ((n = 0; n < runs; n++)); do
    kind=${kinds[n % ${#kinds[@]}]}
    mode=$(((n / ${#kinds[@]}) % 3))
    case $kind in
    stopping | ending) signal=$(pick "$kind") ;;
    kill) signal=KILL ;;
    reader) signal=PIPE ;;
    rename) signal=$(pick any) ;;
    esac
    case $kind in
    reader) set_mode many ;;
    rename) set_mode "$( ((mode == 1)) && echo extract || echo create)" ;;
    *) set_mode "$(echo create test extract | cut -d' ' -f$((mode + 1)))" ;;
    esac
    rm -f pid
    touch "run.$n"
    case $kind in
    reader)
        "${run[@]}" "${args[@]}" > >(head -c $((1 + RANDOM % 60000)) >/dev/null) 2>/dev/null &
        pid=$!
        ;;
    rename)
        strace -f --seccomp-bpf -qq -o /dev/null -e trace=/rename \
            -e inject=/rename:delay_enter=300000 \
            sh -c 'echo $$ >pid; exec "$@"' sh "${run[@]}" "${args[@]}" \
            >/dev/null 2>&1 &
        pid=$!
        until [ -s pid ]; do sleep 0.001; done
        target=$(cat pid)
        # Held at the first rename, or at the second of two (each output has its own).
        holds=$((1 + RANDOM % ${#outputs[@]}))
        for ((tick = 0; tick < 3000 && holds > 0; tick++)); do
            if held "$target"; then
                holds=$((holds - 1))
                ((holds == 0)) || while stopped_tool "$target"; do sleep 0.001; done
            else
                sleep 0.001
            fi
        done
        pause 150
        kill -"$signal" "$target" 2>/dev/null || true
        ;;
    *)
        "${run[@]}" "${args[@]}" >/dev/null 2>&1 &
        pid=$!
        pause 25
        kill -"$signal" $pid 2>/dev/null || true
        ;;
    esac
    # Only wait reaps the run (no command runs in the foreground since the signal), so that
    # the shell reports no death by a signal. The guard is left to expire, and acts only
    # while this run's token is there.
    sh -c 'sleep 3 && [ -e "run.$0" ] && touch hung && kill -KILL "$@" 2>/dev/null' \
        "$n" $pid ${target:+"$target"} &
    status=0
    wait $pid 2>/dev/null || status=$?
    rm "run.$n"
    total[$kind]=$((total[$kind] + 1))
    [ ! -e hung ] || hung[$kind]=$((hung[$kind] + 1))
    rm -f hung
    number=$(kill -l "$signal")
    if [ $status = 3 ] && [ ${#outputs[@]} != 0 ] && ! cmp -s old "${outputs[-1]}"; then
        stale[$kind]=$((stale[$kind] + 1))
    fi
    if [ $status = 3 ] && [[ " ${stopping[*]} " == *" $signal "* ]]; then
        stopped[$kind]=$((stopped[$kind] + 1))
    elif [ $status = $((128 + number)) ]; then
        by_signal[$kind]=$((by_signal[$kind] + 1))
    elif [ $status = 0 ]; then
        finished[$kind]=$((finished[$kind] + 1))
    else
        other[$kind]=$((other[$kind] + 1))
    fi
    for output in "${outputs[@]}"; do
        cmp -s old "$output" || whole "$output" || cut[$kind]=$((cut[$kind] + 1))
    done
    temporaries=$(find . -name '.hpmimg-*' | wc -l)
    left[$kind]=$((left[$kind] + temporaries))
    find . -name '.hpmimg-*' -delete
    unset target
done

printf '%-9s %5s %9s %8s %9s %8s %6s %4s %14s %10s\n' kind runs "not ended" "status 3" \
    "by signal" finished other cut "3, last new" "temp left"
for kind in "${kinds[@]}"; do
    printf '%-9s %5d %9d %8d %9d %8d %6d %4d %14d %10d\n' "$kind" "${total[$kind]}" \
        "${hung[$kind]}" "${stopped[$kind]}" "${by_signal[$kind]}" "${finished[$kind]}" \
        "${other[$kind]}" "${cut[$kind]}" "${stale[$kind]}" "${left[$kind]}"
done
rm -rf "$work"
