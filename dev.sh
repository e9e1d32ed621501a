#!/usr/bin/env bash
# Quick start on Debian 12 (as root, or as a user who may use sudo):
#   ./dev.sh run    installs what is missing, builds, and opens the window
#   ./dev.sh test   installs what is missing, builds, and runs every test, once more under sanitizers
set -euo pipefail
cd "$(dirname "$0")"

build_packages=(cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins libcli11-dev)
test_packages=(libgtest-dev clang libclang-rt-14-dev)

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
    build build-sanitize -DBUILD_TESTING=ON -DCMAKE_BUILD_TYPE=Debug -DQUILLONDE_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
        UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        run_tests build-sanitize
    # The fuzz corpora and every input a fuzzer ever failed on, replayed once through the libFuzzer
    # targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer, in build-fuzz): a finding fails.
    JOBS=$jobs fuzz/replay.sh build-fuzz
    echo "dev.sh: all tests passed"
    ;;
*)
    usage
    ;;
esac
