# shellcheck shell=bash
# Shared by the Windows scripts: the tools of the cross build and of Wine, and a
# Wine prefix of the build's own. Source it; it sets nothing else.

windows_cross_compiler=x86_64-w64-mingw32-g++-posix
windows_packages=(g++-mingw-w64-x86-64-posix wine wine64 libgtest-dev)

windows_tools_present() {
    command -v "$windows_cross_compiler" >/dev/null && command -v wine >/dev/null &&
        [[ -f /usr/src/googletest/CMakeLists.txt ]]
}

# Installs the cross compiler and Wine where that is possible (root, apt-get).
# Returns nonzero, without a word, where it is not: the caller decides what follows.
install_windows_tools() {
    windows_tools_present && return 0
    [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null || return 1
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null 2>&1 || return 1
    apt-get install -y -qq --no-install-recommends "${windows_packages[@]}" >/dev/null 2>&1 || return 1
    windows_tools_present
}

# Every Wine call of a build goes to that build's prefix, quietly; no Mono or Gecko
# installer is offered for console programs.
use_wine_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        echo "Creating the Wine prefix $WINEPREFIX"
        timeout 600 wineboot --init >/dev/null 2>&1 || true
        timeout 600 wineserver -w || true
        [[ -f $WINEPREFIX/system.reg ]] || { echo "wineboot could not create $WINEPREFIX" >&2; return 1; }
    fi
    # A server that stays up: one that quits whenever no program runs for a moment
    # can drop the next program starting right then ("recvmsg: Connection reset").
    # Its helper processes start here too, not inside a test whose output pipe they
    # would hold open.
    wineserver -p
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
}

stop_wine_prefix() {
    if [[ -n ${WINEPREFIX:-} ]]; then wineserver -k >/dev/null 2>&1 || true; fi
}

# Configures and builds the Windows target in the given folder.
build_windows() {
    local root=$1 build=$2
    cmake -S "$root/scripts/windows" -B "$build" --toolchain "$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DAURALYN_WERROR=ON
    cmake --build "$build" -j 2
}
