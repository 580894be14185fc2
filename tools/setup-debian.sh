#!/bin/sh
# Installs what building and testing Zumbolo! needs on Debian 12: every package that
# tools/debian-packages.txt lists (the first word of each line that is not a comment).
set -eu
here=$(dirname "$0")
packages=$(sed -e 's/#.*//' "$here/debian-packages.txt" | awk 'NF { print $1 }')
if [ "$(id -u)" -eq 0 ]; then
  sudo=
else
  sudo=sudo
fi
$sudo apt-get update -qq
# shellcheck disable=SC2086  # one word a package
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $packages >/dev/null
