#!/usr/bin/env bash
# Plants one fault at a time in the source, rebuilds, runs ctest and says which tests caught it.
# Usage: tools/mutate.sh MUTANTS [BUILD_DIR]
# Each line of MUTANTS: FILE<TAB>OLD<TAB>NEW (OLD must occur exactly once in FILE; @NL@ is
# read as a newline). Lines starting with # are skipped. Prints one line per mutant:
# "caught N: TEST..." or "MISSED" or "no-build"; the source is restored after each one.
set -u
mutants=$1
build=${2:-build}
root=$(git rev-parse --show-toplevel)
cd "$root" || exit 2
restore() { [ -n "${saved:-}" ] && cp "$saved" "$file" && rm -f "$saved"; saved=; }
trap 'restore; exit 130' INT TERM
n=0
while IFS=$'\t' read -r file old new <&3; do
    [ -z "$file" ] || [[ $file == \#* ]] && continue
    n=$((n + 1))
    saved=$(mktemp)
    cp -p "$file" "$saved"
    if ! python3 - "$file" "$old" "$new" <<'PY'; then
import sys
path, old, new = sys.argv[1], *(a.replace('@NL@', '\n') for a in sys.argv[2:])
text = open(path, encoding='utf-8').read()
if text.count(old) != 1:
    sys.exit(f'{old!r} occurs {text.count(old)} times in {path}')
open(path, 'w', encoding='utf-8').write(text.replace(old, new))
PY
        echo "M$n $file: BAD MUTANT"
        restore
        continue
    fi
    if ! cmake --build "$build" -j2 >/tmp/mutate_build.log 2>&1; then
        echo "M$n $file [$old -> $new]: no-build"
        restore
        continue
    fi
    failed=$(cd "$build" && ctest -j2 --timeout 120 2>&1 | sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (\(Failed\|Timeout\|SEGFAULT\|Subprocess aborted\|Exception\)).*/\1/p' | sort | tr '\n' ' ')
    if [ -z "$failed" ]; then
        echo "M$n $file [$old -> $new]: MISSED"
    else
        echo "M$n $file [$old -> $new]: caught $(wc -w <<<"$failed"): $failed"
    fi
    restore
done 3<"$mutants"
cmake --build "$build" -j2 >/dev/null 2>&1
