#!/bin/sh
# Creates a headless Wine prefix for the tests: Wine's null graphics driver,
# no crash dialog, Wine's own fonts and a Korean font for dialog text.
set -eu
prefix=$1
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY || true
rm -rf "$prefix"
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1 || true
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
if [ -d /usr/share/wine/fonts ]; then cp -f /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true; fi
for f in /usr/share/fonts/truetype/nanum/NanumGothic.ttf /usr/share/fonts/truetype/nanum/NanumGothicBold.ttf; do
  [ -f "$f" ] && cp -f "$f" "$fonts/"
done
reg="$prefix/tarnex-settings.reg"
cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="x11,null"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"CursorBlinkRate"="-1"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="NanumGothic"
"MS Shell Dlg 2"="NanumGothic"
REG
wine regedit /S "$reg" >/dev/null 2>&1
wineserver -w
touch "$prefix/.tarnex-ready"
