#!/usr/bin/env bash
# The menu entry and the AppStream data pass their validators and name the
# program as the menu shows it.
set -euo pipefail
desktop="$1" metainfo="$2"
for tool in desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (packages desktop-file-utils, appstream)"
    exit 77
  fi
done
fail() { echo "FAIL: $*"; exit 1; }

# Hints are advice (three main categories are asked for); errors fail.
desktop-file-validate --no-hints "$desktop" || fail "desktop-file-validate: $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate: $metainfo"

grep -qx 'Name=学籍照相' "$desktop" || fail "menu name"
grep -qx 'Categories=Graphics;Photography;Education;' "$desktop" || fail "categories"
grep -qx 'Icon=photostation' "$desktop" || fail "icon name"
grep -q '^Exec=photostation\( \|$\)' "$desktop" || fail "Exec runs the program from PATH"
id="$(basename "$desktop" .desktop)"
grep -q "<id>$id</id>" "$metainfo" || fail "AppStream id matches the desktop file"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "launchable"
echo "menu entry and AppStream data valid"
