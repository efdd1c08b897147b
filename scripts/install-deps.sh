#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, skipping those present.
set -eu
packages=(
  cmake ninja-build g++ pkg-config python3
  python3-yaml  # reads the Kubernetes recipe's manifests in its test
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  wine wine64 xvfb x11-utils imagemagick
  # A font of Segoe UI's size for the windows under Wine (scripts/wine-session.sh).
  fonts-open-sans
  # The Vulkan loader, which Wine's Direct3D 12 needs and wine64 only recommends, the one
  # library of the provisioned lavapipe driver that nothing above brings along, and the
  # headers that build the Vulkan layer of the discrete DirectML tests.
  libvulkan1 libwayland-client0 libvulkan-dev
  # The fuzz targets (scripts/fuzz.sh): clang, its fuzzer and sanitizer runtimes, and
  # llvm-symbolizer for readable reports.
  clang libclang-rt-14-dev llvm
  # A one-node Slurm for the test of the Slurm recipe (scripts/slurm-one-node.sh).
  slurmctld slurmd slurm-client munge
  # The Debian 11 system root of the released Linux mivaro-cli (scripts/make-debian11-sysroot.sh):
  # the keys that sign Debian's older releases.
  debian-archive-keyring
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# npm fetches the DirectML redistributable for the Wine tests; the machine's own Node.js
# installation may already provide it outside Debian's packages.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The Debian 11 system root that the released Linux mivaro-cli is built against
# (cmake/debian11-x86_64.cmake), fetched once so that later builds need no network.
"$(dirname "$0")/make-debian11-sysroot.sh" "$(dirname "$0")/../build/debian11-sysroot"
