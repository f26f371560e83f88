#!/usr/bin/env bash
# Prints the tables of several runs of bench/run.sh as one: each figure the
# median of that figure over the runs (the ratio column too: the median of
# the runs' ratios, not the ratio of the medians), each run's first line
# (its time and load) above them.
#
#   bench/run.sh >run1.txt; bench/run.sh >run2.txt; bench/run.sh >run3.txt
#   bench/median.sh run1.txt run2.txt run3.txt
#
# The runs must be of the same bench (the same lines in the same order); a
# cell that is not a number in every run is printed as the first run has it.
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: bench/median.sh RUN-OUTPUT RUN-OUTPUT..." >&2
    exit 2
fi
for file in "$@"; do
    if [ "$(grep -c '' "$file")" != "$(grep -c '' "$1")" ]; then
        echo "bench/median.sh: $file does not hold the same lines as $1: not runs of the same bench" >&2
        exit 1
    fi
done
echo "Medians of $# runs:"
for file in "$@"; do grep -m1 '^Vumira beside cava' "$file" | sed 's/^/- /'; done
awk -v runs=$# '
    function number(text) { gsub(/\*/, "", text); gsub(/^ +| +$/, "", text); return text ~ /^-?[0-9]+(\.[0-9]+)?$/ }
    function bare(text) { gsub(/\*/, "", text); gsub(/^ +| +$/, "", text); return text + 0 }
    function median(values, count,    i, j, swap) {
        for (i = 1; i <= count; ++i)
            for (j = i + 1; j <= count; ++j)
                if (values[j] < values[i]) { swap = values[i]; values[i] = values[j]; values[j] = swap }
        return count % 2 ? values[(count + 1) / 2] : (values[count / 2] + values[count / 2 + 1]) / 2
    }
    FNR == 1 { ++run }
    { line[run, FNR] = $0; if (run == 1) lines = FNR }
    END {
        for (n = 1; n <= lines; ++n) {
            first = line[1, n]
            if (first ~ /^Vumira beside cava/) continue
            if (first !~ /^\| / || first ~ /^\|---/) { print first; continue }
            cells = split(first, cell, "|")
            out = "|"
            for (c = 2; c < cells; ++c) {
                all = 1
                for (r = 1; r <= runs; ++r) {
                    split(line[r, n], other, "|")
                    if (!number(other[c])) { all = 0; break }
                    value[r] = bare(other[c])
                }
                if (!all) { out = out cell[c] "|"; continue }
                decimals = cell[c]; gsub(/\*/, "", decimals); gsub(/^ +| +$/, "", decimals)
                places = index(decimals, ".") ? length(decimals) - index(decimals, ".") : 0
                shown = sprintf("%." places "f", median(value, runs))
                if (cell[c] ~ /\*\*/) shown = "**" shown "**"
                out = out " " shown " |"
            }
            print out
        }
    }' "$@"
