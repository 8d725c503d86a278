#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Lumora need.
# Idempotent: when everything is already installed it only checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  qt6-base-dev libfontconfig-dev qt6-svg-dev libqt6svg6 qt6-image-formats-plugins qt6-translations-l10n
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-tools
  gstreamer1.0-alsa gstreamer1.0-pulseaudio gstreamer1.0-libav
  libcurl4-openssl-dev nettle-dev libsimdjson-dev libxcb1-dev
  libcpp-httplib-dev libsqlite3-dev libtag1-dev libmicrohttpd-dev zlib1g-dev libutf8proc-dev libebur128-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool imagemagick trayer
  fonts-wqy-microhei fonts-wqy-zenhei fonts-arphic-ukai
  dbus-daemon dbus-bin playerctl dunst
  pulseaudio pulseaudio-utils sox curl openssl
  python3-mutagen eyed3
  desktop-file-utils libglib2.0-bin
  weston qt6-wayland
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
