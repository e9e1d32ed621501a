#!/usr/bin/env bash
# Converts the same casts with two builds of quillonde-cli and compares what they do.
#   tools/compare_binaries.sh OLD NEW [CASTS [SEED]]     CASTS generated .TOB casts, 3000 unless given
#
# 1. Sea & Sun casts to .sva: the shared casts and CASTS generated ones, each in fresh water or at a
#    latitude, some with --strict: the .sva bytes, standard output, standard error and exit status
#    must agree. The generated casts vary rows, columns, line ends, row gaps and repeated row numbers,
#    blank runs, fields that are no number, short lines, depths and the header around them.
#    Prints how many casts were compared and every one that differs; exits 1 if any does.
# 2. Every file of the probe formats: `info --json` and a convert to .csv and .asvp with both builds.
#    Prints each difference: these are to be read, not counted.
set -uo pipefail
if [ $# -lt 2 ]; then
    echo "usage: tools/compare_binaries.sh OLD NEW [CASTS [SEED]]" >&2
    exit 2
fi
old=$(realpath "$1")
new=$(realpath "$2")
casts=${3:-3000}
seed=${4:-1}
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
shared=${QUILLONDE_FIXTURES:-$root/../../shared/fixtures}
[ -d "$shared" ] || shared=/work/shared/fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/old" "$work/new" "$work/casts"

# Runs both builds on `cast` (a path) with the options that follow; prints nothing when they agree.
differs() {
    local cast=$1
    shift
    local side
    for side in old new; do
        rm -rf "${work:?}/$side"/*
        cp "$cast" "$work/$side/cast.TOB"
        (
            cd "$work/$side" || exit 1
            bin=$old
            [ "$side" = new ] && bin=$new
            "$bin" convert "$@" cast.TOB >stdout 2>stderr
            echo $? >status
        )
    done
    local what
    for what in stdout stderr status cast.sva; do
        if [ -e "$work/old/$what" ] || [ -e "$work/new/$what" ]; then
            if ! cmp -s "$work/old/$what" "$work/new/$what"; then
                echo "$what"
                return 0
            fi
        fi
    done
    return 1
}

python3 - "$work/casts" "$casts" "$seed" <<'PY'
import random, sys
folder, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(seed)
names = ["Temp", "Cond", "SALIN", "SIGMA", "SOUND", "Ch1", "Ch2", "IntD", "IntT", "Temp", "SOUND"]

def number(value, decimals):
    text = f"{value:.{decimals}f}"
    return "0" if text in ("-0", "-0.0", "-0.00", "-0.000") and rng.random() < 0.5 else text

for k in range(count):
    columns = ["Press"] + rng.sample(names, rng.randint(2, 8))
    if rng.random() < 0.8 and "SOUND" not in columns:
        columns.append("SOUND")       # most casts give the sound velocity
    if rng.random() < 0.15:
        rng.shuffle(columns)          # the pressure elsewhere
    if rng.random() < 0.03:
        columns.remove("Press")       # no pressure at all
    if rng.random() < 0.05:
        columns.append("Press")       # a raw-count channel under the same name
    rows = rng.choice([1, 2, 5, 40, 250, 1200])
    end = "\r\n" if rng.random() < 0.6 else "\n"
    pad = lambda: " " * rng.choice([1, 1, 2, 3, 7, 12, 40])
    faults = rng.random() < 0.3           # a cast with lines that are wrong, and the failures they give
    data = []
    deepest = rng.choice([0.3, 2.0, 30.0, 300.0])
    row = 0
    highest = 1
    for r in range(rows):
        step = rng.random()
        if step < 0.05:
            row += rng.randint(2, 30)     # a gap
        elif step < 0.08:
            row = max(row - rng.randint(0, 3), 0)  # a row number again, or an earlier one
        elif step < 0.085:
            row = -abs(row)               # a row number not above 0
        else:
            row = abs(row) + 1
        highest = max(highest, row)
        share = r / max(rows - 1, 1)
        pressure = deepest * (share / 0.7 if share < 0.7 else (1 - share) / 0.3) + rng.uniform(-0.2, 0.2)
        fields = [str(row)]
        for column in columns:
            fields.append({"Press": number(pressure, 3), "Temp": number(rng.uniform(-2, 30), 3),
                           "Cond": number(rng.uniform(0, 60), 3), "SALIN": number(rng.uniform(0, 40), 3),
                           "SOUND": number(rng.uniform(1400, 1560), 2), "IntD": "2017-09-13",
                           "IntT": "08:23:35"}.get(column, number(rng.uniform(0, 2), 3)))
        bad = rng.random() if faults else 1.0
        if bad < 0.01:
            fields[rng.randrange(1, len(fields))] = rng.choice(["10,5", "abc", "1.2.3", "1e999", "-", "NaN"])
        elif bad < 0.015:
            fields = fields[: rng.randint(1, len(fields) - 1)]  # a short line
        elif bad < 0.02:
            fields.append("9.9")                               # a field too many
        data.append("".join(pad() + f for f in fields) + (pad() if rng.random() < 0.1 else ""))
        if rng.random() < 0.01:
            data.append("")                                    # a blank line
    declared = highest + rng.randint(0, 5) if not faults or rng.random() < 0.5 else max(1, highest - rng.randint(1, 9))
    lines = []
    if rng.random() < 0.7:
        lines.append("SSDA Sea & Sun Technology's Standard Data Acquisition software package rev 2.05")
        lines.append("  Position :  Lat.:  0" + str(rng.randint(10, 89)) + "\u00b020.32' N      Lon.:  011\u00b041.48' E")
    if rng.random() < 0.98:
        lines.append("Lines :" + pad() + str(declared))
    lines.append(";")
    lines.append("; Datasets" + "".join(pad() + c for c in columns))
    if rng.random() < 0.7:
        lines.append(";" + "".join(pad() + "[ unit]" for _ in columns))
    lines.append(";")
    lines += data
    text = end.join(lines)
    if rng.random() < 0.9:
        text += end                                            # else the last line has no end
    with open(f"{folder}/gen{k:05d}.TOB", "w", encoding="latin-1", newline="") as out:
        out.write(text)
PY

waters=("--fresh" "--salt --latitude 54" "--salt --latitude -33" "--salt --latitude 0" "--salt --latitude 90"
    "--salt --latitude 89.5")
compared=0
disagree=0
index=0
for cast in "$shared"/tob/*.TOB "$root"/tests/data/casts/*.TOB "$work"/casts/*.TOB; do
    [ -e "$cast" ] || continue
    index=$((index + 1))
    # shellcheck disable=SC2206 # the options split at blanks
    options=(${waters[$((index % ${#waters[@]}))]})
    [ $((index % 7)) -eq 0 ] && options+=(--strict)
    [ $((index % 5)) -eq 0 ] && options+=(--derive)
    compared=$((compared + 1))
    if what=$(differs "$cast" "${options[@]}"); then
        disagree=$((disagree + 1))
        echo "DIFFERS ($what): $cast ${options[*]}"
        kept="$root/build/compare-$(basename "$cast")"
        cp "$cast" "$kept" 2>/dev/null && echo "  kept as $kept"
    fi
done
echo "Sea & Sun casts to .sva: $compared casts compared, $disagree differ"

# 2. The probe formats, before and after: every difference shown.
echo
echo "Probe and profile files: info --json, and a convert to .csv and to .asvp"
for file in "$shared"/formats/*/*; do
    case "$file" in *.txt | *.rst | *.md) [ "$(dirname "$file")" = "$shared/formats" ] && continue ;; esac
    for side in old new; do
        bin=$old
        [ "$side" = new ] && bin=$new
        out="$work/$side-fmt"
        rm -rf "$out"
        mkdir -p "$out"
        cp "$file" "$out/cast"
        (
            cd "$out" || exit 1
            "$bin" info --json --salt --latitude 54 cast >info 2>&1
            "$bin" convert --salt --latitude 54 --time 2020-01-01T00:00:00Z --position 54 11 -o cast.csv cast \
                >csv.log 2>&1
            "$bin" convert --salt --latitude 54 --time 2020-01-01T00:00:00Z --position 54 11 -o cast.asvp cast \
                >asvp.log 2>&1
        )
    done
    for what in info cast.csv cast.asvp csv.log asvp.log; do
        [ -e "$work/old-fmt/$what" ] || [ -e "$work/new-fmt/$what" ] || continue
        if ! cmp -s "$work/old-fmt/$what" "$work/new-fmt/$what"; then
            echo "--- ${file#"$shared"/}: $what"
            diff <(tr -d '\r' <"$work/old-fmt/$what" 2>/dev/null) <(tr -d '\r' <"$work/new-fmt/$what" 2>/dev/null) |
                head -n "${DIFF_LINES:-8}"
        fi
    done
done
[ "$disagree" -eq 0 ]
