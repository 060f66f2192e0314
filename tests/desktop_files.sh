#!/usr/bin/env bash
# Validates the desktop entry and the AppStream description with the desktop's own tools.
#   tests/desktop_files.sh SOURCE_FOLDER
# Exit code 77 (skipped) where appstreamcli or desktop-file-validate is missing.
set -uo pipefail
source=${1:?usage: desktop_files.sh SOURCE_FOLDER}
for tool in appstreamcli desktop-file-validate; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
appstreamcli validate --no-net "$source/forms/lumivo.metainfo.xml" || exit 1
desktop-file-validate "$source/forms/lumivo.desktop" || exit 1
echo "1 passed, 0 failed"
