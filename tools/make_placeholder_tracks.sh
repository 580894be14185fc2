#!/usr/bin/env bash
# Writes the seven silent placeholder tracks to assets/tracks/.
#
# Every track is MPEG-1 Layer III, 44 100 Hz, joint stereo, constant bit rate, and starts with a
# LAME "Info" header frame. LAME turns (N - 1) * 1152 samples into N audio frames (its encoder
# delay and padding add one frame), so that is how much silence each track is given.
#
# Running it again gives the same bytes. Needs lame (apt-get install -y lame).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/assets/tracks"

if ! command -v lame >/dev/null 2>&1; then
  echo "make_placeholder_tracks.sh: lame is not installed (apt-get install -y lame)" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# name, audio frames, kbit/s
tracks=(
  "kokab 86 128"
  "eye 90 192"
  "bgm 4695 128"
  "tell 8021 128"
  "fun 2804 128"
  "rad 7022 128"
  "spring 5705 128"
)

mkdir -p "$out"
for entry in "${tracks[@]}"; do
  read -r name frames kbps <<<"$entry"
  samples=$(( (frames - 1) * 1152 ))
  # Stereo, 16 bits: four bytes a sample. lame's output is only shown when it fails, as this
  # build always warns that libsndfile might seek in raw input, which a pipe rules out anyway.
  # --noreplaygain: the gain of pure silence is out of range and only earns a warning.
  if ! head -c $(( samples * 4 )) /dev/zero |
      lame --silent --noreplaygain \
        -r -s 44.1 --bitwidth 16 --signed --little-endian \
        -m j -b "$kbps" --cbr \
        - "$work/$name.mp3" 2>"$work/lame.log"; then
    cat "$work/lame.log" >&2
    echo "make_placeholder_tracks.sh: lame failed on $name" >&2
    exit 1
  fi
  mv -f "$work/$name.mp3" "$out/$name.mp3"
  echo "$out/$name.mp3: $frames frames at $kbps kbit/s"
done
