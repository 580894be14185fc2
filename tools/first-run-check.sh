#!/bin/bash
# A new user's first run, as README.md's first command makes it: set up, build, and start the
# Linux program with "/v" (every spin a hit) on a private X display. Passes when the figures'
# window appears, shown, at its home place, and a show begins (a hit, then a song is loaded and
# played), all within 20 s.
#
#   tools/first-run-check.sh            # set up (apt-get), configure, build, run
#   tools/first-run-check.sh --built    # only run the program of ./build (CI, after its build)
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} != --built ]]; then
  tools/setup-debian.sh
  cmake --preset default
  cmake --build build
fi
binary=$PWD/build/platform/qt/zumbolo
[[ -x $binary ]] || { echo "first-run-check: no program at $binary"; exit 1; }

work=$(mktemp -d /tmp/zumbolo-first-run.XXXXXX)
trap 'rm -rf "$work"' EXIT
cat >"$work/session.sh" <<'EOF'
# Inside xvfb-run: start the program, watch for its window and its show, then end it.
binary=$1 work=$2
ZUMBOLO_HOME=$work/home ZUMBOLO_TRACE=$work/trace.log "$binary" /v >"$work/program.log" 2>&1 &
program=$!
status=1 placed=
for _ in $(seq 200); do
  sleep 0.1
  kill -0 "$program" 2>/dev/null || { echo "the program ended by itself"; break; }
  if [[ -z $placed ]]; then
    window=$(xwininfo -root -tree | awk '/"Zumbolo!": \("zumbolo"/ { print $1; exit }')
    [[ -n $window ]] || continue
    info=$(xwininfo -id "$window")
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    placed=$(awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
                  /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }' <<<"$info")
    read -r sw sh < <(xwininfo -root | awk '/Width:/ { w = $NF } /Height:/ { h = $NF } END { print w, h }')
    # Without a panel the work area is the whole screen; home is 250 x 118 in from its corner.
    if [[ $placed != "$((sw - 250)) $((sh - 118)) 192 64" ]]; then
      echo "the figures' window first showed at x y w h = $placed, not at home on a ${sw}x${sh} screen"
      break
    fi
  fi
  if awk '/ hits 1 / { hit = 1 } hit && / player render (tell|fun|rad|bgm|spring)\.res/ { song = 1 }
          song && / player play$/ { found = 1 } END { exit !found }' "$work/trace.log"; then
    echo "the figures' window showed at x y w h = $placed, and a show began"
    status=0
    break
  fi
done
[[ $status = 0 ]] || { echo "--- trace"; tail -n 20 "$work/trace.log" 2>/dev/null; echo "--- program"; tail -n 20 "$work/program.log"; }
# SIGTERM would close it as the session's end does and leave the tally box waiting for a click.
kill -KILL "$program" 2>/dev/null
wait "$program" 2>/dev/null
exit $status
EOF
if timeout 60 xvfb-run -a bash "$work/session.sh" "$binary" "$work"; then
  echo "first-run-check: passed"
else
  echo "first-run-check: FAILED"
  exit 1
fi
