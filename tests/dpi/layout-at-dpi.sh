#!/usr/bin/env bash
# Runs the window layout test at one display scale, as a person whose Windows is set to it:
# a Wine prefix of its own (a copy of the end-to-end one) with both places Wine reads the scale
# from, the desktop's LogPixels and the fonts' LogPixels, set to <dpi>, and Wine restarted so
# that it reads them. The test's pictures of the windows are kept as PNG files.
#
#   layout-at-dpi.sh <dpi> <window_layout_tests.exe> <artefact folder of the test's pictures>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=../e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"

usage="usage: layout-at-dpi.sh <dpi> <window_layout_tests.exe> <pictures folder>"
dpi=${1:?$usage}
exe=$(realpath "${2:?$usage}")
pictures=${3:?$usage}

e2e_setup "layout-${dpi}dpi"
e2e_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
  e2e_fail "could not set the desktop's LogPixels"
e2e_wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels \
  /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || e2e_fail "could not set the fonts' LogPixels"
wineserver -k >/dev/null 2>&1 || true
timeout 10 wineserver -w >/dev/null 2>&1 || true
e2e_wine cmd /c ver >/dev/null 2>&1 || e2e_fail "Wine does not start again after the scale change"
e2e_log "Wine restarted at $dpi dpi"

rm -f "$pictures"/layout-"${dpi}"dpi-*.bmp
status=0
# pipefail: the test's own exit status counts.
VANTREL_EXPECTED_DPI=$dpi e2e_wine "$exe" --gtest_brief=1 </dev/null 2>&1 | tr -d '\r' | tee "$E2E_DIR/test.log" ||
  status=1
for bitmap in "$pictures"/layout-"${dpi}"dpi-*.bmp; do
  [ -f "$bitmap" ] || continue
  name=$(basename "$bitmap" .bmp)
  convert "$bitmap" "$E2E_DIR/${name#layout-"${dpi}"dpi-}.png" && rm -f "$bitmap"
done
e2e_log "pictures: $(cd "$E2E_DIR" && ls -- *.png 2>/dev/null | tr '\n' ' ')"
[ "$status" -eq 0 ] || e2e_fail "the layout test failed at $dpi dpi"
e2e_pass
