#!/usr/bin/env bash
# Installs the Debian packages Vocerra needs that are not yet installed.
# Usage: scripts/deps.sh [build|bench]   (build is the default)
set -euo pipefail

build_packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libasound2-dev
  libcurl4-openssl-dev
  python3-aiosmtpd openssl
  espeak-ng sox
  clang libclang-rt-14-dev
  libre-dev librem-dev sip-tester baresip
  kamailio iproute2 nftables conntrack
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6 fonts-dejavu-core
  xvfb xauth
  dbus-daemon dbus-bin python3-dbus python3-gi
  dpkg-dev file lintian desktop-file-utils appstream systemd
)
bench_packages=(libbenchmark-dev libspandsp-dev sox)

case "${1:-build}" in
  build) wanted=("${build_packages[@]}") ;;
  bench) wanted=("${build_packages[@]}" "${bench_packages[@]}") ;;
  *) echo "usage: $0 [build|bench]" >&2; exit 2 ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
