# Sourced by the scripts that run programs under wine (scripts/wine_e2e.sh, tests/device/device_e2e.sh).
#
# wine_start PREFIX BITS OVERRIDES NAME: sets up wine for the rest of the script and sets $wine to
# the loader that starts its programs. PREFIX is the wine prefix, made once; BITS 64 (the 64-bit
# loader, also as WINELOADER) or 32 (the 32-bit loader); OVERRIDES the DLL overrides besides
# Mono's and Gecko's, which are never installed; NAME leads the script's lines. Starts one wine
# server and its services for the whole run; wine_stop ends them.

wine64=/usr/lib/wine/wine64

wine_start() {
  local prefix=$1 bits=$2 overrides=$3 name=$4 start
  export WINEPREFIX=$prefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=${overrides:+;$overrides}"
  # On a kernel without i386 support, wine's 32-bit loader (the device image's, and the helpers
  # that making a prefix starts) runs under qemu-i386 (scripts/setup.sh registers it). In qemu's
  # default 4 GB guest space each start costs some 40 s: wine probes the space above 2 GB 64 KB
  # at a time for its own, and qemu places every probe elsewhere. A space that ends just above
  # Windows' 2 GB and wine's shared page keeps a start to a few seconds. A kernel that runs i386
  # programs itself ignores the variable.
  export QEMU_RESERVED_VA=0x82000000
  case $bits in
    # The 64-bit loader itself: with wine32 installed, plain `wine` starts every program through
    # the 32-bit loader first, which on a machine without native i386 support runs under emulation.
    64)
      wine=$wine64
      export WINELOADER=$wine64
      ;;
    32)
      wine=/usr/lib/wine/wine
      unset WINELOADER
      ;;
    *)
      echo "wine_start: BITS is 64 or 32, not $bits" >&2
      return 2
      ;;
  esac
  # A prefix counts once it was made whole with wine32 installed (one made before breaks later).
  if [ ! -f "$WINEPREFIX/.made-with-wine32" ]; then
    rm -rf "$WINEPREFIX"
    start=$SECONDS
    "$wine64" wineboot --init >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.made-with-wine32"
    echo "$name: wine prefix created in $((SECONDS - start)) s"
  fi
  # One wine server and its services for the whole run, started with their output elsewhere:
  # started per program they cost seconds a launch and hold the program's pipes open.
  wineserver -w # the server that created the prefix, if any, has gone
  wineserver -p
  "$wine64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_stop() {
  wineserver -k 2>/dev/null || true
}
