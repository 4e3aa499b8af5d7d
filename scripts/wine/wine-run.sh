#!/bin/bash
# wine-run.sh - run 32-bit Windows programs under Wine, also on hosts whose
# kernel cannot execute i386 code (the 32-bit Wine loader then runs under
# qemu-user, everything 64-bit - wineserver, services, explorer - natively).
#
#   wine-run.sh init PREFIX              create/update a prefix (idempotent)
#   wine-run.sh run PREFIX PROG [ARGS]   run PROG, pass its exit code through
#   wine-run.sh run-wait PREFIX PROG ... same, then wait for the Wine session
#                                        of PREFIX to end (wineserver -w)
#   wine-run.sh wait PREFIX              wait for the Wine session to end
#   wine-run.sh kill PREFIX              end every process of the session
#   wine-run.sh start-server PREFIX      keep a wineserver (and Wine's system
#                                        processes) running until "kill"
#
# "run" starts the Wine session itself when none is running, detached from
# the caller's stdin/stdout/stderr, and lets it linger WINE_RUN_LINGER
# seconds (default 10) after the last program ends: back-to-back runs then
# skip the session start-up, and $(wine-run.sh run ...) returns as soon as
# the program exits (otherwise Wine's system processes, started by the
# program, would hold the caller's pipe open until the session ends).
# "run-wait" leaves session start-up to Wine and waits for the session end
# (every process of the prefix gone, registry written back); after plain
# runs that includes the linger time.
#
# Environment:
#   WINE_RUN_WAIT=1     make "run" behave like "run-wait"
#   WINE_RUN_LINGER     seconds, see above; 0 = Wine's default behaviour
#   WINE_RUN_MODE       auto (default), native or qemu
#   WINEDEBUG           passed through; defaults to -all
#   WINEDLLOVERRIDES    appended to the overrides this script always sets
#   DISPLAY             X server for windowed programs (e.g. an Xvfb)
#
# Exit status of "run": the program's exit code (Wine reports it modulo 256),
# or 125 for a usage/setup error of this script.

set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

SYS_WINE32=/usr/lib/wine/wine
SYS_WINE64=/usr/lib/wine/wine64
SYS_WINESERVER=/usr/lib/wine/wineserver
SERVER64=/usr/lib/wine/wineserver64
SYS_LIBDIR32=/usr/lib/i386-linux-gnu
SYS_LIBDIR64=/usr/lib/x86_64-linux-gnu
SYS_DATADIR=/usr/share/wine
QEMU_I386=${QEMU_I386:-qemu-i386}

# Bump when the runtime layout or the prefix settings below change, so that
# "init" on an existing prefix redoes its work.
LAYOUT_VERSION=1

# Always keep Wine from asking to install Mono/Gecko and from writing menu
# entries and file associations into the user's home.
BASE_OVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

die() {
    echo "wine-run: $*" >&2
    exit 125
}

usage() {
    sed -n '2,/^$/{s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}" >&2
    exit 125
}

abs_prefix() {
    local p=$1
    [ -n "$p" ] || die "empty prefix path"
    case $p in
        /*) ;;
        *) p=$PWD/$p ;;
    esac
    # strip trailing slashes (Wine does the same; keeps marker paths stable)
    while [ "${#p}" -gt 1 ] && [ "${p%/}" != "$p" ]; do p=${p%/}; done
    printf '%s\n' "$p"
}

# Can this kernel execute the i386 Wine loader directly?
native_i386_works() {
    "$SYS_WINE32" --version >/dev/null 2>&1
}

choose_mode() {
    case ${WINE_RUN_MODE:-auto} in
        native|qemu) echo "$WINE_RUN_MODE" ;;
        auto)
            if native_i386_works; then echo native; else echo qemu; fi ;;
        *) die "WINE_RUN_MODE must be auto, native or qemu" ;;
    esac
}

# Runtime directory kept inside the prefix.  In qemu mode it holds copies
# of the Wine loaders laid out like /usr/lib/wine, so that Wine, which
# derives the loader it execs for a new process from the directory of its
# own executable, execs our qemu wrapper for 32-bit children.
runtime_dir() { printf '%s/wine-run\n' "$1"; }

build_runtime() {
    local prefix=$1 mode=$2 rt tmp
    rt=$(runtime_dir "$prefix")
    tmp=$rt.tmp.$$
    rm -rf "$tmp"
    mkdir -p "$tmp" || die "cannot create $tmp"
    echo "$mode" > "$tmp/mode"

    if [ "$mode" = qemu ]; then
        command -v "$QEMU_I386" >/dev/null || die "$QEMU_I386 not found (apt-get install qemu-user)"
        [ -x "$SYS_WINE32" ] || die "$SYS_WINE32 missing (apt-get install wine32:i386)"
        build_shim "$tmp/qemu-mmap-shim.so" || die "cannot build qemu-mmap-shim.so (gcc with -m32 support)"
        mkdir -p "$tmp/lib/wine" "$tmp/share" "$tmp/qemu-root/etc" || return 1
        ln -s "$SYS_LIBDIR32" "$tmp/lib/i386-linux-gnu"
        ln -s "$SYS_LIBDIR64" "$tmp/lib/x86_64-linux-gnu"
        ln -s "$SYS_DATADIR" "$tmp/share/wine"
        ln -s "$SYS_WINESERVER" "$tmp/lib/wine/wineserver"
        # real copies: Wine resolves /proc/self/exe, which sees through links
        cp "$SYS_WINE64" "$tmp/lib/wine/wine64"
        cp "$SYS_WINE32" "$tmp/lib/wine/wine-i386"
        # only the emulated i386 ld.so reads this (qemu -L redirects the
        # guest's /etc/ld.so.preload here); host processes never see it
        echo "$rt/qemu-mmap-shim.so" > "$tmp/qemu-root/etc/ld.so.preload"
        cat > "$tmp/lib/wine/wine" <<EOF
#!/bin/sh
# 32-bit Wine loader under qemu-user (generated by wine-run.sh)
WINELOADERNOEXEC=1
export WINELOADERNOEXEC
exec $(command -v "$QEMU_I386") -L "$rt/qemu-root" -0 "$rt/lib/wine/wine" "$rt/lib/wine/wine-i386" "\$@"
EOF
        chmod +x "$tmp/lib/wine/wine"
    fi
    rm -rf "$rt" && mv "$tmp" "$rt"
}

# Built into the prefix's runtime, never into the source tree.
build_shim() {
    command -v gcc >/dev/null || return 1
    gcc -m32 -O2 -fPIC -shared -nostdlib -o "$1" "$here/qemu-mmap-shim.c"
}

# Sets WINE64/WINE32/WINESERVER_BIN and the Wine environment for PREFIX.
setup_env() {
    local prefix=$1 mode rt
    rt=$(runtime_dir "$prefix")
    mode=$(cat "$rt/mode" 2>/dev/null) || die "prefix $prefix not initialised (run: $0 init $prefix)"
    if [ "$mode" = qemu ]; then
        WINE64=$rt/lib/wine/wine64
        WINE32=$rt/lib/wine/wine
        WINESERVER_BIN=$rt/lib/wine/wineserver
        export WINELOADERNOEXEC=1
    else
        WINE64=$SYS_WINE64
        WINE32=$SYS_WINE32
        WINESERVER_BIN=$SYS_WINESERVER
    fi
    export WINEPREFIX=$prefix
    export WINESERVER=$WINESERVER_BIN
    export WINEDEBUG=${WINEDEBUG--all}
    export WINEDLLOVERRIDES="$BASE_OVERRIDES${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
}

prefix_settings_reg() {
    cat <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

EOF
}

stamp() {
    # the prefix path is part of it: the runtime holds absolute paths
    printf 'layout=%s mode=%s prefix=%s wine=%s\n' "$LAYOUT_VERSION" "$1" "$2" \
        "$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || "$SYS_WINE64" --version)"
}

cmd_init() {
    [ $# -eq 1 ] || usage
    local prefix mode rt lock want
    prefix=$(abs_prefix "$1")
    mkdir -p "$prefix" || die "cannot create $prefix"
    mode=$(choose_mode)
    want=$(stamp "$mode" "$prefix")
    rt=$(runtime_dir "$prefix")

    # serialise concurrent inits of one prefix
    exec 9>"$prefix/.wine-run.lock"
    flock 9

    if [ -f "$rt/ready" ] && [ "$(cat "$rt/ready")" = "$want" ] &&
       [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
        echo "wine-run: prefix $prefix is up to date ($mode)" >&2
        return 0
    fi
    rm -f "$rt/ready"
    build_runtime "$prefix" "$mode" || die "cannot build runtime in $rt"
    setup_env "$prefix"

    # 64-bit prefix: the 64-bit side (wineboot, services, explorer, ...)
    # runs natively; wineboot starts the 32-bit rundll32 that fills
    # syswow64 through our 32-bit loader.
    "$WINE64" wineboot --init >/dev/null || die "wineboot failed"
    "$WINESERVER_BIN" -w
    [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] ||
        die "the 32-bit part of the prefix was not created (no syswow64/kernel32.dll)"

    local reg="$prefix/wine-run-settings.reg"
    prefix_settings_reg > "$reg"
    "$WINE64" regedit /S "$(winepath_of "$reg")" || die "regedit failed"
    rm -f "$reg"
    "$WINESERVER_BIN" -w

    echo "$want" > "$rt/ready"
    echo "wine-run: prefix $prefix ready ($mode)" >&2
}

# Windows path for a Unix path via the Z: drive (no Wine process needed).
winepath_of() {
    printf 'Z:%s\n' "$1" | tr / '\\'
}

require_ready() {
    local prefix=$1
    [ -f "$(runtime_dir "$prefix")/ready" ] ||
        die "prefix $prefix not initialised (run: $0 init $prefix)"
}

cmd_run() {
    local wait=$1; shift
    [ $# -ge 2 ] || usage
    local prefix prog rc
    prefix=$(abs_prefix "$1"); shift
    prog=$1; shift
    require_ready "$prefix"
    setup_env "$prefix"
    [ "$wait" = 1 ] || start_session "${WINE_RUN_LINGER:-10}"
    # A path to an existing file is handed to Wine as a Unix path (Wine maps
    # it); anything else (C:\..., a name on the Windows PATH) as it is.
    "$WINE64" "$prog" "$@"
    rc=$?
    if [ "$wait" = 1 ]; then
        "$WINESERVER_BIN" -w
    fi
    return $rc
}

cmd_wait() {
    [ $# -eq 1 ] || usage
    local prefix
    prefix=$(abs_prefix "$1")
    require_ready "$prefix"
    setup_env "$prefix"
    "$WINESERVER_BIN" -w
}

cmd_kill() {
    [ $# -eq 1 ] || usage
    local prefix
    prefix=$(abs_prefix "$1")
    require_ready "$prefix"
    setup_env "$prefix"
    "$WINESERVER_BIN" -k 2>/dev/null
    "$WINESERVER_BIN" -w
    return 0
}

# Start a wineserver for WINEPREFIX that stays LINGER seconds after the
# last client ("" = until killed), plus Wine's system processes, all with
# stdio on /dev/null.  Does nothing when a server is already running.
start_session() {
    local linger=$1
    case $linger in
        0) return 0 ;;
        ''|*[!0-9]*) [ -z "$linger" ] || die "WINE_RUN_LINGER must be a number of seconds" ;;
    esac
    "$SERVER64" "-p$linger" </dev/null >/dev/null 2>&1
    case $? in
        0) ;;              # started: boot the session below
        2) return 0 ;;     # a server is already running for this prefix
        *) die "cannot start wineserver" ;;
    esac
    "$WINE64" cmd.exe /c exit </dev/null >/dev/null 2>&1
    return 0
}

cmd_start_server() {
    [ $# -eq 1 ] || usage
    local prefix
    prefix=$(abs_prefix "$1")
    require_ready "$prefix"
    setup_env "$prefix"
    start_session ""
}

[ $# -ge 1 ] || usage
cmd=$1; shift
case $cmd in
    init) cmd_init "$@" ;;
    run)
        w=0
        case ${WINE_RUN_WAIT:-0} in 1|yes|true) w=1 ;; esac
        cmd_run "$w" "$@" ;;
    run-wait) cmd_run 1 "$@" ;;
    wait) cmd_wait "$@" ;;
    kill) cmd_kill "$@" ;;
    start-server) cmd_start_server "$@" ;;
    -h|--help|help) usage ;;
    *) usage ;;
esac
