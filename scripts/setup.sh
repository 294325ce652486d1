#!/usr/bin/env bash
# Installs the Debian packages Corvane needs; does nothing when all are there.
# With the argument "bench", the benchmark library as well (only the
# benchmarks need it).
set -euo pipefail

packages=(
    g++ make cmake ninja-build pkg-config
    qt6-base-dev libqt6opengl6-dev libgl-dev qt6-translations-l10n
    libquazip1-qt6-dev zlib1g-dev
    arj
    fonts-noto-cjk
)
[ "${1:-}" = bench ] && packages+=(libbenchmark-dev)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q || { echo "setup: apt-get update failed; cannot install ${missing[*]}" >&2; exit 1; }
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}" \
    || { echo "setup: could not install ${missing[*]}" >&2; exit 1; }
