#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: when everything is already installed it only checks and returns.
set -euo pipefail

packages=(
  # build
  cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6dbus6 libqt6network6 libqt6printsupport6
  zlib1g-dev libpcre2-dev libssl-dev libcurl4-openssl-dev gettext
  libacl1-dev libattr1-dev libmtp-dev libpam0g-dev libsystemd-dev
  libxcb1-dev libxcb-res0-dev libxcb-ewmh-dev libxcb-icccm4-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # peer tools for tests and benchmarks
  gzip pigz zip unzip 7zip libarchive-tools rsync attr acl
  python3 python3-cryptography python3-aiosmtpd python3-dbusmock dbus
  desktop-file-utils xvfb xauth openbox x11-apps x11-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
