#!/bin/sh
# Installs what building and testing Zumbolo! needs on Debian 12.
set -eu
packages="cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev"
if [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $packages >/dev/null
else
  sudo apt-get update -qq
  sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $packages >/dev/null
fi
