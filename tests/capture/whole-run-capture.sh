#!/bin/sh
# Records the line capture of whole runs of the window against the virtual cable (discover, read,
# poll, write, read back; and the reading cases of the fixture-loop tests) and prints it normalised,
# so that two builds can be compared with diff:
#   tests/capture/whole-run-capture.sh build/tests-bin > before.txt
#   ... change the code, rebuild ...
#   tests/capture/whole-run-capture.sh build/tests-bin > after.txt && diff before.txt after.txt
# With ZYL_CAPTURE_RAW_DIR set, the captures as recorded are also copied into that folder.
# Normalised, because the pace of the run depends on the machine: the time field of each line is
# dropped; the polls (UN_MUTE to the fixture) and their answers leave the sequence, since how many
# come before a test goes on (none or several) varies, and each distinct one is listed once at the
# end of its test; a run of the same line or of the same pair of lines is kept once. Everything
# else (every byte, direction and note, in order) stays.
set -eu
bin=$(cd "${1:-build/tests-bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for test in app_fixture_loop_write app_fixture_loop_read; do
    echo "== $test"
    ( cd "$bin" && ZYL_VIRTUAL_CABLE_CAPTURE="$work/$test.txt" QT_QPA_PLATFORM=offscreen \
        "./$test" >"$work/$test.log" 2>&1 ) || { cat "$work/$test.log" >&2; exit 1; }
    echo "$test: $(wc -l <"$work/$test.txt") packets captured" >&2
    if [ -n "${ZYL_CAPTURE_RAW_DIR:-}" ]; then cp "$work/$test.txt" "$ZYL_CAPTURE_RAW_DIR/"; fi
    awk '{
        $1 = ""; line = substr($0, 2)
        # A poll (UN_MUTE to the fixture) and its answer: how many come before a test goes on, or
        # whether one comes at all, depends on the machine; their bytes are listed at the end.
        # ($1 is now empty: $2 is the direction, byte k of the packet is field k + 3.)
        if (($2 == "->" && $23 == "10" && $6 != "FF") || ($2 == "<-" && $23 == "11")) {
            if ($24 == "00" && $25 == "03") { polls[line] = 1; next }
        }
        out[++n] = line
        if (n >= 2 && out[n] == out[n - 1]) { n--; next }
        if (n >= 4 && out[n] == out[n - 2] && out[n - 1] == out[n - 3]) n -= 2
    }
    END {
        for (i = 1; i <= n; i++) print out[i]
        print "-- polls and their answers, each once:"
        for (p in polls) print p | "sort"
        close("sort")
    }' "$work/$test.txt"
done
