#!/usr/bin/env bash
# Makes a Debian 11 (bullseye, glibc 2.31) system root from Debian's own packages, for building
# the released mivaro-cli so that it starts on every system with glibc 2.31 or newer (Debian 11,
# Ubuntu 22.04, RHEL 9 and later). Only the C library, the kernel headers and libgcc's runtime
# are taken; the compiler and the C++ library stay the build machine's (GCC 12, libstdc++
# linked statically).
#
#   scripts/make-debian11-sysroot.sh DIR
#
# Needs apt-get and dpkg (any Debian-like build machine) and the Debian mirror
# ($MIVARO_DEBIAN_MIRROR, default http://deb.debian.org/debian); no root rights. Does nothing
# when DIR already holds a complete root; a root is built beside DIR and moved into place
# only when complete.
set -euo pipefail

root=${1:?usage: make-debian11-sysroot.sh DIR}
mirror=${MIVARO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
packages=(libc6 libc6-dev linux-libc-dev libgcc-s1 libcrypt1 libcrypt-dev)
multiarch=x86_64-linux-gnu

[ -f "$root/.complete" ] && exit 0

root=$(mkdir -p "$(dirname "$root")" && cd "$(dirname "$root")" && pwd)/$(basename "$root")
work=$(mktemp -d "$root.partial.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/debs" "$work/root"
: >"$work/apt/status"
echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bullseye main" >"$work/apt/sources.list"
apt_options=(
  -o Dir::Etc::sourcelist="$work/apt/sources.list" -o Dir::Etc::sourceparts=-
  -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
  -o Dir::State::status="$work/apt/status" -o APT::Architecture=amd64
  -o Debug::NoLocking=1 -o APT::Sandbox::User="$(id -un)"
)
echo "make-debian11-sysroot: fetching ${packages[*]} (bullseye) from $mirror"
apt-get "${apt_options[@]}" -qq update
(cd "$work/debs" && apt-get "${apt_options[@]}" -qq download "${packages[@]}")
for deb in "$work"/debs/*.deb; do
  dpkg-deb -x "$deb" "$work/root"
done

# The packages' absolute links (libpthread.so -> /lib/...) would lead the linker out of the
# root onto the build machine's own libraries: point every one inside the root.
while IFS= read -r -d '' link; do
  target=$(readlink "$link")
  if [[ $target == /* ]]; then
    ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$work/root$target")" "$link"
  fi
done < <(find "$work/root" -type l -print0)
# The program interpreter where the x86-64 ABI puts it.
mkdir -p "$work/root/lib64"
ln -sfn "../lib/$multiarch/$(basename "$(readlink -f "$work/root/lib/$multiarch/ld-linux-x86-64.so.2")")" \
  "$work/root/lib64/ld-linux-x86-64.so.2"

(cd "$work/debs" && ls) >"$work/root/.complete"
# Another build may have made the same root meanwhile; either copy serves.
[ -f "$root/.complete" ] && exit 0
rm -rf "$root"
mv -T "$work/root" "$root" 2>/dev/null || [ -f "$root/.complete" ]
echo "make-debian11-sysroot: $root holds $(grep -c . "$root/.complete") packages"
