# Sourced: a private, initialised Wine prefix inside the build folder.
#   source scripts/wine-env.sh BUILD_DIR
export WINEPREFIX="$1/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installers: nothing here needs them, and they would try the network.
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEARCH=win64
export WINELOADER=/usr/lib/wine/wine64
wine() { "$WINELOADER" "$@"; }
if [ ! -f "$WINEPREFIX/.tarvel-ready-2" ]; then
  rm -rf "$WINEPREFIX"
  wine wineboot -i >/dev/null 2>&1 || true
  # Without a window manager Wine crops the caption of decorated windows; skinned
  # frames are checked on screen, so let Wine leave the frame to the program.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1 || true
  # With no window manager to answer, Wine waits about 2 s on every managed window that closes.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.tarvel-ready-2"
fi
# A crashing test program must end with a backtrace on stderr, not wait on a
# crash dialog nobody can close until the test times out.
if [ ! -f "$WINEPREFIX/.tarvel-nocrashdialog" ]; then
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.tarvel-nocrashdialog"
fi
