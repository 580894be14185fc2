#!/bin/sh
# Installs what building and testing Zumbolo! needs on Debian 12.
set -eu
packages="cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev"
# The Linux desktop program: Qt 6 Widgets, X11 (xcb), GStreamer with its MP3 decoder.
packages="$packages pkg-config qt6-base-dev libxcb1-dev libxcb-shape0-dev libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good"
# Its end-to-end checks: a private X desktop with a tray, and a sound server with a null sink.
packages="$packages python3 xvfb openbox tint2 xdotool x11-utils x11-apps x11-xserver-utils wmctrl pulseaudio pulseaudio-utils"
# The Windows program: the MinGW-w64 cross compiler (x86-64, POSIX threads, as the toolchain file
# names it), and Wine to run it and its checks, with a Japanese font for the menu (FontLink).
packages="$packages g++-mingw-w64-x86-64-posix wine wine64 fonts-noto-cjk"
# The settings file's fuzz target (tools/ci/fuzz-settings.sh): clang with libFuzzer and its
# sanitizers.
packages="$packages clang libclang-rt-14-dev"
if [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $packages >/dev/null
else
  sudo apt-get update -qq
  sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $packages >/dev/null
fi
