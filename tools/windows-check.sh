#!/usr/bin/env bash
# The Windows plug-in proven on Linux (make windows-check): cross-builds
# T_Prismora.aex and prismora.exe with mingw-w64 (CPU only), checks the DLL as
# After Effects sees it, runs the Windows-only tests and the demo under Wine,
# and compares the demo's pictures with the Linux build's, pixel for pixel.
# Wine runs headless in a private prefix inside the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

LINUX_PRESET=${LINUX_PRESET:-Release}
LINUX_BUILD=build/$LINUX_PRESET
WIN_BUILD=build/windows-mingw
started=$SECONDS

step() {
  echo "== windows-check: $* ($((SECONDS - started)) s)"
}

step "dependencies"
tools/install-deps.sh --windows

export WINEDEBUG=-all
export WINEPREFIX="$PWD/$WIN_BUILD/wine"
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "creating the Wine prefix"
  mkdir -p "$WINEPREFIX"
  wineboot -i
  wineserver -w
fi

# The build runs the PiPL generator (a Windows program) under Wine.
step "cross-build"
cmake --preset windows-mingw >/dev/null
cmake --build --preset windows-mingw

step "PE check"
tools/pe-check.py "$WIN_BUILD/plugin/T_Prismora.aex" "$WIN_BUILD/plugin/T_Prismora.pipl"

step "Windows tests under Wine"
ctest --test-dir "$WIN_BUILD" --output-on-failure --timeout 300

step "Linux demo"
cmake --preset "$LINUX_PRESET" >/dev/null
cmake --build --preset "$LINUX_PRESET" --target prismora
rm -rf "$WIN_BUILD/demo-linux" "$WIN_BUILD/demo-windows"
"$LINUX_BUILD/cli/prismora" demo "$WIN_BUILD/demo-linux" >/dev/null
if ! cmp "$LINUX_BUILD/plugin/T_Prismora.pipl" "$WIN_BUILD/plugin/T_Prismora.pipl"; then
  echo "windows-check: the Windows PiPL differs from the Linux one" >&2
  exit 1
fi

step "demo under Wine"
# A relative output folder: Wine reads it against its drive for /.
wine "$WIN_BUILD/cli/prismora.exe" demo "$WIN_BUILD/demo-windows" >/dev/null

step "comparing the pictures"
tools/compare-png.py "$WIN_BUILD/demo-linux" "$WIN_BUILD/demo-windows"

wineserver -k || true
step "passed"
