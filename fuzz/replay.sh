#!/usr/bin/env bash
# Replays the committed corpora and regression inputs through every fuzz target, built with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer; a crash, a leak or a failed check fails.
#   fuzz/replay.sh [BUILD_DIR]     (build-fuzz when not given; JOBS sets the build's parallelism)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-fuzz}
targets=(loader export convert writers)

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUILLONDE_FUZZ=ON -DQUILLONDE_GUI=OFF \
    -DBUILD_TESTING=OFF -DQUILLONDE_WERROR=ON >/dev/null
cmake --build "$build_dir" --parallel "${JOBS:-2}" --target "${targets[@]/%/_fuzzer}"

for target in "${targets[@]}"; do
    inputs=()
    for folder in "fuzz/corpus/$target" "fuzz/regressions/$target"; do
        if [ -d "$folder" ]; then
            while IFS= read -r -d '' input; do
                inputs+=("$input")
            done < <(find "$folder" -type f ! -name '*.md' -print0 | sort -z)
        fi
    done
    if [ ${#inputs[@]} -eq 0 ]; then # without inputs the fuzzer would start fuzzing
        echo "fuzz/replay.sh: no inputs for $target in fuzz/corpus/$target" >&2
        exit 1
    fi
    log="$build_dir/replay-$target.log"
    # Given files rather than folders, libFuzzer runs each input once and writes nothing.
    if ! "$build_dir/fuzz/${target}_fuzzer" -timeout=60 "${inputs[@]}" >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "fuzz/replay.sh: $target failed on a committed input (whole output in $log)" >&2
        exit 1
    fi
    echo "fuzz/replay.sh: $target: ${#inputs[@]} inputs, no finding"
done
