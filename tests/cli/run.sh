#!/usr/bin/env bash
# Runs one transcript test. In a transcript, "  $ command" lines (continued by "  > " lines)
# run in order in one bash session, in a fresh directory, with hpmimg on PATH and TZ=UTC.
# The indented lines after a command are its expected output, standard error included;
# "  [N]" states a non-zero exit status; a line ending in " (no-eol)" lacks its newline.
# Other lines are commentary. Prints the differences and fails when the run differs.
# A command whose whole output is one "skip: REASON" line stands for its expected output on a
# host that cannot run it; the test then exits 77 (skipped) if nothing else differs.
# Usage: run.sh TRANSCRIPT HPMIMG_BINARY [EMULATOR WORDS...]
set -euo pipefail
transcript=$(realpath "$1")
tool=$(realpath "$2")
shift 2
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d "${TMPDIR:-/tmp}/hpmimg-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -m 755 "$work/bin" && mkdir "$work/run"

# Messages carry argv[0]; the tool is started by its name on PATH, through the emulator if
# any, which is given that name as argv[0]. Under emulation the target's binary is copied
# beside the wrapper, for a row that runs it as another user, who may not reach the build
# folder (a checkout in a private folder).
if [ $# -gt 0 ]; then
    install -m 755 "$tool" "$work/bin/hpmimg-target"
    # shellcheck disable=SC2016 # expanded by the wrapper
    printf '#!/bin/sh\nexec %q -0 "${0##*/}" %s %q "$@"\n' "$1" "${*:2}" "$work/bin/hpmimg-target" \
        >"$work/bin/hpmimg"
    chmod 755 "$work/bin/hpmimg"
else
    ln -s "$tool" "$work/bin/hpmimg"
fi

# The script: every command followed by a marker line carrying its status.
awk -v prelude="$here/prelude.sh" -v mark='printf "\\n@@@ %d\\n" "$?"' '
    BEGIN { print "exec 2>&1\n. \"" prelude "\"" }
    /^  \$ / && open++ { print mark }
    /^  [$>] / { print substr($0, 5) }
    END { if (open) print mark }
' "$transcript" >"$work/script.sh"

(cd "$work/run" && PATH="$work/bin:$PATH" TZ=UTC LC_ALL=C bash "$work/script.sh" >"$work/output" </dev/null) || true
# MASK, when set, is an awk program the output passes through (the docs test masks dates).
[ -z "${MASK:-}" ] || { awk "$MASK" "$work/output" >"$work/masked" && mv "$work/masked" "$work/output"; }

# The transcript as it should read with the actual output in place of the expected one.
awk -v output="$work/output" -v skipped="$work/skipped" '
    function flush_output(   line, n, i, status) {
        while ((getline line < output) > 0 && line !~ /^@@@ [0-9]+$/) lines[++n] = line
        if (n == 2 && lines[1] ~ /^skip: / && lines[2] == "") {
            print lines[1] >> skipped
            for (i = 1; i <= expected; i++) print want[i]
            return
        }
        status = substr(line, 5)
        if (n > 0 && lines[n] == "") n--
        else if (n > 0) lines[n] = lines[n] " (no-eol)"
        for (i = 1; i <= n; i++) print "  " lines[i]
        if (status != 0) print "  [" status "]"
    }
    /^  \$ / { if (open) flush_output(); print; open = 1; expected = 0; next }
    /^  > / { print; next }
    /^  / { want[++expected] = $0; next }
    { if (open) flush_output(); open = 0; print }
    END { if (open) flush_output() }
' "$transcript" >"$work/actual.t"

diff -u -a --label expected --label actual "$transcript" "$work/actual.t"
if [ -s "$work/skipped" ]; then
    cat "$work/skipped"
    exit 77
fi
