#!/usr/bin/env bash
# Builds every fuzz target with clang and libFuzzer (installing clang, its
# libFuzzer runtime and the symbolizer when missing) and runs each for
# FUZZ_SECONDS. Every target runs, whatever the ones before it found; the
# findings are listed at the end and make the exit status non-zero.
# New inputs go to <build>/corpus/<target>, findings to <build>/crashes/<target>;
# the seed corpus in fuzz/corpus is only read.
# Usage: scripts/fuzz.sh <build folder> <seconds> <jobs>
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-180}
jobs=${3:-$(nproc)}

stop() { echo "fuzz: $*" >&2; exit 2; }

scratch=$(mktemp -d) || stop "no scratch folder in ${TMPDIR:-/tmp}"
trap 'rm -rf "$scratch"' EXIT

echo 'extern "C" int LLVMFuzzerTestOneInput(const char*,unsigned long){return 0;}' > "$scratch/probe.cpp"
if ! clang++ -fsanitize=fuzzer "$scratch/probe.cpp" -o "$scratch/probe" 2>/dev/null \
    || ! command -v llvm-symbolizer >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q || stop "apt-get update failed: clang cannot be installed"
    $sudo apt-get install -y -q --no-install-recommends clang llvm \
        || stop "clang and llvm could not be installed"
    ver=$(clang++ --version | sed -n 's/.*version \([0-9]*\).*/\1/p' | head -1)
    $sudo apt-get install -y -q --no-install-recommends "libclang-rt-$ver-dev" \
        || stop "the libFuzzer runtime of clang $ver could not be installed"
fi
symbolizer=$(command -v llvm-symbolizer) || stop "llvm-symbolizer is missing: stacks would show raw addresses"
export ASAN_SYMBOLIZER_PATH=$symbolizer UBSAN_SYMBOLIZER_PATH=$symbolizer
export ASAN_OPTIONS=symbolize=1 UBSAN_OPTIONS=print_stacktrace=1:symbolize=1

targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCORVANE_FUZZ=ON -DCORVANE_BENCH=OFF >/dev/null \
    || stop "cmake could not configure $build"
cmake --build "$build" -j "$jobs" --target $targets || stop "the fuzz targets did not build"

findings=()
touch "$scratch/start"
for target in $targets; do
    name=${target#fuzz_}
    mkdir -p "$build/corpus/$name" "$build/crashes/$name"
    echo "== $target for $seconds s"
    (cd "$build" && QT_QPA_PLATFORM=offscreen "./fuzz/$target" -max_total_time="$seconds" \
        -rss_limit_mb=4096 -max_len=65536 -artifact_prefix="crashes/$name/" \
        "corpus/$name" "$OLDPWD/fuzz/corpus/$name")
    status=$?
    found=$(find "$build/crashes/$name" -type f -newer "$scratch/start" -printf '%f ' 2>/dev/null)
    if [ $status -ne 0 ] || [ -n "$found" ]; then
        findings+=("$target (exit $status): ${found:-no artifact}")
    fi
done

if [ ${#findings[@]} -gt 0 ]; then
    echo "== findings (inputs in $build/crashes; add each to fuzz/corpus once mended):"
    printf '   %s\n' "${findings[@]}"
    exit 1
fi
echo "== no findings"
