#!/bin/sh
# The menu entry and the AppStream file as the desktop's own tools read them:
#   tools/ci/check-desktop-metadata.sh [FOLDER]     (default platform/qt/data)
# desktop-file-validate must print nothing at all; appstreamcli validate (--pedantic, the
# strictest Debian 12 has) must report no issue of any level but the one listed below.
# Exit status 77: skipped, a tool is missing (outside CI; under CI=1 that fails).
set -eu
data=${1:-$(dirname "$0")/../../platform/qt/data}
desktop=$data/io.github.zumbolo.Zumbolo.desktop
metainfo=$data/io.github.zumbolo.Zumbolo.metainfo.xml

missing=
command -v desktop-file-validate >/dev/null || missing="$missing desktop-file-validate (package desktop-file-utils)"
command -v appstreamcli >/dev/null || missing="$missing appstreamcli (package appstream)"
if [ -n "$missing" ]; then
  echo "missing:$missing"
  [ -n "${CI:-}" ] && exit 1
  echo "SKIPPED (outside CI)"
  exit 77
fi

failed=0
out=$(desktop-file-validate "$desktop" 2>&1) || failed=1
if [ -n "$out" ] || [ $failed -ne 0 ]; then
  printf 'desktop-file-validate %s:\n%s\n' "$desktop" "$out"
  failed=1
fi

# Known and accepted:
# - cid-contains-uppercase-letter: the id is the reverse-DNS name the desktop file is named
#   after (AppStream 1.0 no longer flags it);
# - unknown-tag developer: AppStream 1.0's <developer>, beside <developer_name> for 0.16.
accepted='^[EWIP]: io\.github\.zumbolo\.Zumbolo:[0-9~]*: (cid-contains-uppercase-letter io\.github\.zumbolo\.Zumbolo|unknown-tag developer)$'
valid=1
report=$(appstreamcli validate --pedantic --no-net --no-color "$metainfo" 2>&1) || valid=0
issues=$(printf '%s\n' "$report" | grep -E '^[EWIP]: ' | grep -Ev "$accepted" || true)
if [ $valid -eq 0 ] || [ -n "$issues" ]; then
  printf 'appstreamcli validate --pedantic %s:\n%s\n' "$metainfo" "$report"
  failed=1
fi
[ $failed -eq 0 ] || exit 1
printf '%s: desktop-file-validate clean\n%s: %s\n' "$desktop" "$metainfo" "$(printf '%s\n' "$report" | tail -n 1)"
