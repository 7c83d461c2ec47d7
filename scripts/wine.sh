# Wine for the Windows build's tests, sourced by ./test and scripts/build-windows.
# Every prefix lives inside the Windows build folder.

export WINEDEBUG=-all                      # also silences the hint about a missing wine32
export WINEDLLOVERRIDES="mscoree,mshtml="  # no prompts for Mono or Gecko

# A prefix of our own at $1, made once. Without a window manager Wine waits two
# seconds in DestroyWindow for one; unmanaged windows end at once.
wine_prefix() {
  local prefix="$1"
  [ -f "$prefix/system.reg" ] && return 0
  mkdir -p "$prefix"
  (
    unset DISPLAY
    export WINEPREFIX="$prefix"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
  )
}

# A persistent server for the prefix, with Wine's helper processes started once
# and their output on /dev/null: each test program then starts in milliseconds.
# Such a server has no display, so windows are for other prefixes.
wine_warm() {
  export WINEPREFIX="$1"
  unset DISPLAY
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}

wine_stop() {
  WINEPREFIX="$1" wineserver -k 2>/dev/null || true
}
