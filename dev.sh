#!/usr/bin/env bash
# Quick start on Debian 12 (as root, or as a user who may use sudo):
#   ./dev.sh run    installs what is missing, builds, and opens the window
#   ./dev.sh test   installs what is missing, builds, and runs every test, once more under sanitizers
set -euo pipefail
cd "$(dirname "$0")"

build_packages=(cmake ninja-build g++ qt6-base-dev qt6-svg-dev qt6-qpa-plugins libcli11-dev nlohmann-json3-dev)
test_packages=(libgtest-dev clang libclang-rt-14-dev xvfb xauth fonts-dejavu-core)

usage() {
    echo "usage: ./dev.sh run | test" >&2
    exit 2
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "dev.sh: installing packages needs root; run as root or install sudo" >&2
        exit 1
    fi
}

install_missing() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "dev.sh: installing ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

jobs=$(nproc 2>/dev/null || echo 2)

build() { # build DIR [cmake options...]
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel "$jobs"
}

run_tests() { # run_tests DIR
    ctest --test-dir "$1" --output-on-failure --no-tests=error --parallel "$jobs" --timeout 600
}

# AppStream's check, which must find nothing at all, not even a pedantic note.
validate_metainfo() {
    local report
    report=$(appstreamcli validate --pedantic --no-net "$1" 2>&1) || true
    echo "$report"
    if [[ "$report" != *"Validation was successful." ]]; then
        echo "dev.sh: appstreamcli finds fault with $1" >&2
        exit 1
    fi
}

# Unpacks `git archive HEAD` into the folder $1 and builds the Debian package there, in $1/build.
tarball_package() {
    git archive --format=tar HEAD | tar -x -C "$1"
    (cd "$1" && build build -DBUILD_TESTING=OFF && cd build && cpack -G DEB)
}

# Builds the Debian package, checks it, installs it with apt, uses the installed programs as a
# user would and removes the package again. CI runs it; it changes the machine's installed
# packages, so a developer's test run leaves it out unless CI=true.
package_check() {
    install_missing dpkg-dev file lintian desktop-file-utils man-db appstream shared-mime-info xdg-utils \
        libfile-mimeinfo-perl
    rm -f build/quillonde_*.deb
    (cd build && cpack -G DEB)
    local package
    package=$(ls build/quillonde_*.deb)
    lintian --pedantic --fail-on error,warning,pedantic "$package"
    desktop-file-validate data/quillonde.desktop
    validate_metainfo build/*.metainfo.xml
    # Reproducible: a distribution builds from the release tarball, without git. The same commit's
    # tarball, unpacked and built in another folder without the tests, gives the package of this
    # build byte for byte, once both take their time stamps from data/changelog's latest entry, as a
    # tarball's build does.
    local tarball same epoch
    tarball=$(mktemp -d)
    same=$(mktemp -d)
    tarball_package "$tarball"
    epoch=$(date -u -d "$(sed -n 's/^ -- .*>  //p' data/changelog | head -n 1)" +%s)
    (cd build && SOURCE_DATE_EPOCH=$epoch cpack -G DEB -B "$same" >/dev/null)
    cmp "$tarball/build/$(basename "$package")" "$same/$(basename "$package")"
    rm -rf "$tarball" "$same"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$package"
    local out
    out=$(mktemp -d)
    # The file manager's view: real casts, whatever their names, are casts that Quillonde opens.
    cp tests/data/casts/rev205_deneb.TOB "$out/upper.TOB"
    cp tests/data/casts/rev183_duplicate_press.TOB "$out/lower.tob"
    cp tests/data/casts/rev183_utf8_partial.TOB "$out/no_extension"
    local cast
    for cast in "$out/upper.TOB" "$out/lower.tob" "$out/no_extension"; do
        [ "$(xdg-mime query filetype "$cast")" = application/x-seasun-tob ] ||
            { echo "dev.sh: $cast is not a Sea & Sun cast to the desktop" >&2; exit 1; }
    done
    [ "$(xdg-mime query default application/x-seasun-tob)" = quillonde.desktop ] ||
        { echo "dev.sh: casts do not open with quillonde.desktop" >&2; exit 1; }
    # One cast of each other format read, under the name its software gives it and under none.
    local sample type path
    for sample in seabird/SK287_CTD05.cnv:application/x-seabird-cnv \
        rbr/OXR20201007_RBR_1106_027_data_head300.txt:application/x-rbr-ruskin-txt \
        castaway/castaway_data.csv:application/x-sontek-castaway-csv; do
        path=tests/data/formats/${sample%%:*}
        type=${sample#*:}
        cp "$path" "$out/named.${path##*.}"
        cp "$path" "$out/unnamed"
        for cast in "$out/named.${path##*.}" "$out/unnamed"; do
            [ "$(xdg-mime query filetype "$cast")" = "$type" ] ||
                { echo "dev.sh: $cast is not $type to the desktop" >&2; exit 1; }
        done
        [ "$(xdg-mime query default "$type")" = quillonde.desktop ] ||
            { echo "dev.sh: $type does not open with quillonde.desktop" >&2; exit 1; }
    done
    validate_metainfo /usr/share/metainfo/org.example.quillonde.metainfo.xml
    /usr/bin/quillonde-cli --version
    /usr/bin/quillonde-cli convert --salt --latitude 54 -o "$out/deneb.sva" tests/data/casts/rev205_deneb.TOB
    head -c 11 "$out/deneb.sva" | grep -qx '.profile  1'
    # The plot, drawn by the program the package installs for it.
    /usr/bin/quillonde-cli plot --salt --latitude 54 -o "$out/deneb.svg" tests/data/casts/rev205_deneb.TOB
    grep -q '<svg' "$out/deneb.svg"
    man -w quillonde-cli >/dev/null
    man -w quillonde >/dev/null
    # The installed window, offscreen: still up after a second means it opened; then it is closed.
    local status=0
    QT_QPA_PLATFORM=offscreen timeout 1 /usr/bin/quillonde || status=$?
    rm -rf "$out"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quillonde
    if [ "$status" -ne 124 ]; then
        echo "dev.sh: the installed window ended with status $status within a second" >&2
        exit 1
    fi
    echo "dev.sh: the package installs, runs and removes cleanly"
}

case "${1:-}" in
run)
    install_missing "${build_packages[@]}"
    build build -DBUILD_TESTING=OFF
    exec build/src/ui/quillonde
    ;;
test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    build build -DBUILD_TESTING=ON -DQUILLONDE_WERROR=ON
    run_tests build
    # Once more with AddressSanitizer (LeakSanitizer included) and UndefinedBehaviorSanitizer:
    # any finding ends the test with an error.
    build build-sanitize -DBUILD_TESTING=ON -DCMAKE_BUILD_TYPE=Debug -DQUILLONDE_SANITIZE=ON -DQUILLONDE_BENCHMARKS=OFF
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
        UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        run_tests build-sanitize
    # The fuzz corpora and every input a fuzzer ever failed on, replayed once through the libFuzzer
    # targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer, in build-fuzz): a finding fails.
    JOBS=$jobs fuzz/replay.sh build-fuzz
    if [ "${CI:-}" = true ]; then
        package_check
    fi
    echo "dev.sh: all tests passed"
    ;;
*)
    usage
    ;;
esac
