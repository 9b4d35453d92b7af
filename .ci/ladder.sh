#!/usr/bin/env bash
# The include ladder of src/: the folders, lowest rung first. A folder includes headers of
# its own folder and of the rungs below it only; folders on one rung never include each other.
ladder='
digest
run
output
format
transfer
create inspect
main
'
# Also no circle between modules (a folder/name, its .h and .cpp together), within a folder
# as well: a module never includes, directly or through others, one that includes it back.
# Reads the #include "folder/file.h" lines of src/*/*.{h,cpp}; prints each wrong include as
# file:line and fails, or prints one summary line.
set -euo pipefail
cd "$(dirname "$0")/.."

failed=0
for dir in src/*/; do
    folder=$(basename "$dir")
    tr ' ' '\n' <<<"$ladder" | grep -qxF -- "$folder" ||
        { echo "$dir: folder $folder is not on the ladder"; failed=1; }
done

# One line per include: file, line, module, header (src/run/report.cpp 3 run/report run/context.h).
includes=$(grep -Hn '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src/*/*.h src/*/*.cpp |
    sed -E 's#^(src/([^:]*)\.(h|cpp)):([0-9]+):[^"]*"([^"]*)".*#\1 \4 \2 \5#' |
    sort -k1,1 -k2,2n)

awk -v ladder="$ladder" '
BEGIN {
    rungs = split(ladder, rung_lines, "\n")
    for (r = 1; r <= rungs; r++) {
        count = split(rung_lines[r], names, " ")
        for (i = 1; i <= count; i++)
            rung[names[i]] = r
    }
}
{
    from = $3; sub(/\/.*/, "", from)
    to = index($4, "/") ? substr($4, 1, index($4, "/") - 1) : ""
    if (!(to in rung))
        print $1 ":" $2 ": " from " may not include " $4 ", which names no folder on the ladder"
    else if ((from in rung) && to != from && rung[to] >= rung[from])
        print $1 ":" $2 ": " from " may not include " $4
}' <<<"$includes" | grep . && failed=1

# tsort names the modules of each circle it meets on stderr, after a line saying it found one;
# each circle is shown with its includes.
loops=$(awk '{ sub(/\.h$/, "", $4) } $3 != $4 { print $3, $4 }' <<<"$includes" |
    tsort 2>&1 >/dev/null | awk '/ loop:$/ { if (m) print m; m = ""; next }
        { m = m " " $2 } END { if (m) print m }' || true)
while read -r members; do
    [ -n "$members" ] || continue
    echo "circle: $members"
    awk -v members=" $members " '{ sub(/\.h$/, "", $4) }
        $3 != $4 && index(members, " " $3 " ") && index(members, " " $4 " ") {
            print $1 ":" $2 ": " $3 " includes " $4 ".h" }' <<<"$includes"
    failed=1
done <<<"$loops"

[ "$failed" -eq 0 ] || { echo "ladder: wrong includes above"; exit 1; }
echo "ladder: $(wc -l <<<"$includes") includes, none upward, no circle"
