#!/bin/bash
# The Debian package as a user gets it:
#   tools/ci/check-deb-package.sh
# builds the default preset and the package (cpack -G DEB), checks what the package holds and
# what it depends on, runs lintian (no errors allowed) and appstreamcli validate-tree on it,
# installs it with `apt-get install ./zumbolo_VERSION_amd64.deb`, and runs the installed
# /usr/bin/zumbolo through a show under xvfb-run with a PulseAudio null sink
# (tools/ci/installed_show_check.py). It runs as root or through sudo, and removes the package
# again at the end unless ZUMBOLO_KEEP_PACKAGE=1.
#
# On a brand-new Debian 12 root (about 15 minutes):
#   FRESH_CMD='tools/setup-debian.sh && tools/ci/check-deb-package.sh' ../shared/tools/fresh-debian-check
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
stage() { printf '\n== %s (%d s so far)\n' "$*" $((SECONDS - started)); }
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

python3 tests/e2e/debian_commands.py cmake cpack dpkg-deb dpkg-shlibdeps lintian appstreamcli xvfb-run xauth \
  pulseaudio pactl xwininfo || fail "the commands above are missing"

stage "build"
cmake --preset default >/dev/null
cmake --build build --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-2}" --target zumbolo zumbolo_man_page zumbolo_changelog
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
deb=build/zumbolo_${version}_$(dpkg --print-architecture).deb

stage "package $deb"
rm -f "$deb"
(cd build && cpack -G DEB)
[ -f "$deb" ] || fail "cpack made no $deb"
dpkg-deb --info "$deb"

stage "what it holds"
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for path in ./usr/bin/zumbolo \
            ./usr/share/applications/io.github.zumbolo.Zumbolo.desktop \
            ./usr/share/metainfo/io.github.zumbolo.Zumbolo.metainfo.xml \
            ./usr/share/icons/hicolor/48x48/apps/zumbolo.png \
            ./usr/share/icons/hicolor/256x256/apps/zumbolo.png \
            ./usr/share/man/man6/zumbolo.6.gz \
            ./usr/share/doc/zumbolo/copyright \
            ./usr/share/doc/zumbolo/changelog.gz; do
  grep -qxF "$path" <<<"$contents" || fail "$deb lacks $path"
done
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
# What the program loads by name: GStreamer's plugins, and Qt's X11 platform plugin (whichever
# package holds it here).
depends=$(dpkg-deb --field "$deb" Depends)
xcb_plugin=$(dpkg -S '*/qt6/plugins/platforms/libqxcb.so' | cut -d: -f1)
for package in gstreamer1.0-plugins-base gstreamer1.0-plugins-good "$xcb_plugin" libgstreamer1.0-0; do
  grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "the package does not depend on $package: $depends"
done
echo "it holds the program, its desktop files, icons, manual and documents; Depends: $depends"

stage "lintian"
lintian --info --display-info --fail-on error "$deb"
echo "lintian: no errors"

stage "appstreamcli validate-tree"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb --extract "$deb" "$tree"
report=$(appstreamcli validate-tree --pedantic --no-net --no-color "$tree" 2>&1 || true)
echo "$report"
# The two accepted issues are those of tools/ci/check-desktop-metadata.sh.
issues=$(grep -E '^[EWIP]: ' <<<"$report" |
         grep -Ev ': (cid-contains-uppercase-letter io\.github\.zumbolo\.Zumbolo|unknown-tag developer)$' || true)
[ -z "$issues" ] || fail "appstreamcli validate-tree: $issues"

stage "apt-get install ./$deb"
was_installed=$(dpkg-query -W -f '${Status}' zumbolo 2>/dev/null | grep -c '^install ok installed' || true)
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb"
if [ "$was_installed" = 0 ] && [ "${ZUMBOLO_KEEP_PACKAGE:-}" != 1 ]; then
  trap 'rm -rf "$tree"; as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q zumbolo >/dev/null' EXIT
fi
[ "$(command -v zumbolo)" = /usr/bin/zumbolo ] || fail "zumbolo is not /usr/bin/zumbolo"
shown=$(env -u DISPLAY zumbolo --version | head -n 1)
[ "$shown" = "zumbolo $version" ] || fail "zumbolo --version says \"$shown\", not \"zumbolo $version\""
echo "$shown"

stage "the installed program through a show"
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" python3 tools/ci/installed_show_check.py /usr/bin/zumbolo

stage "done"
echo "the Debian package $deb: built, checked, installed and played in $((SECONDS - started)) s"
