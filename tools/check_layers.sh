#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own, in quotes or angle brackets,
# or a header by a relative path ("../form/x.h"), which no include folder of the build can refuse.
# The layers, from the bottom:
# runtime, depth, profile, formats, form (standard library only), then plot, and on top the window
# (ui) and the batch tool (cli), which know nothing of each other.
#   tools/check_layers.sh [SOURCE_ROOT]     (default: the src folder beside this script)
set -euo pipefail
root=${1:-"$(dirname "$0")/../src"}

rank() {
    case $1 in
    runtime) echo 0 ;;
    depth) echo 1 ;;
    profile) echo 2 ;;
    formats) echo 3 ;;
    form) echo 4 ;;
    plot) echo 5 ;;
    ui | cli) echo 6 ;;
    *) echo -1 ;;
    esac
}

status=0
while IFS= read -r file; do
    layer=${file#"$root"/}
    layer=${layer%%/*}
    own=$(rank "$layer")
    if [ "$own" -lt 0 ]; then
        echo "$file: folder \"$layer\" is no known layer" >&2
        status=1
        continue
    fi
    while IFS=: read -r line spelled; do
        header=${spelled:1:-1}
        # A relative or absolute path reaches any folder whatever the include folders are: a source
        # names the layer it includes, "layer/x.h", or a header beside it, "x.h".
        if [[ $header == /* || /$header/ == */../* ]]; then
            echo "$file:$line: $layer includes $spelled by its path; name the layer: \"layer/x.h\"" >&2
            status=1
            continue
        fi
        used=${header%%/*}
        theirs=$(rank "$used")
        if [ "$theirs" -gt "$own" ] || { [ "$theirs" -eq "$own" ] && [ "$used" != "$layer" ]; }; then
            echo "$file:$line: $layer includes $spelled of the layer $used above it" >&2
            status=1
        fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]*/' "$file" |
        sed -E 's/^([0-9]+):[^"<]*(["<][^">]*[">]).*/\1:\2/' || true)
done < <(find "$root" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

# The core layers use the standard library only.
if grep -rsEn "#[[:space:]]*include[[:space:]]*<Q" "$root"/runtime "$root"/depth "$root"/profile "$root"/formats "$root"/form >&2; then
    echo "the core layers include a toolkit header" >&2
    status=1
fi
exit $status
