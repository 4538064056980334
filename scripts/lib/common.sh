# Shared by the scripts: the project root and the Debian packages each job needs.
# shellcheck shell=bash

AVRANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What building and running the programs needs: the tools and Qt; xcb's headers, with its
# XFixes extension (the tray follows an X11 tray itself, reads its colours and checks that the X
# display can be reached); libdbus's headers (avranectl talks to the running application
# through it); fontconfig's headers (the application reads the font configuration early);
# rsvg-convert, which draws the icon's PNG sizes; a Korean font; and for
# scripts/run on a machine without a screen, a virtual X screen, a small tray, a session bus
# and xwininfo.
AVRANE_RUN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libxcb1-dev libxcb-xfixes0-dev
                     libdbus-1-dev libfontconfig-dev librsvg2-bin fonts-nanum xvfb trayer dbus-daemon
                     x11-utils)
# What making and checking the Debian package needs (scripts/package, and the suite's package
# test): dpkg-shlibdeps, file, lintian, the desktop's validators and man.
AVRANE_PACKAGE_TOOLS=(dpkg-dev file lintian desktop-file-utils appstream man-db)
# The desktops the tests labelled `desktop` run the tray application on, each privately and
# without a screen: sway with waybar (grim takes its screenshots; unshare, from util-linux,
# gives sway the user namespace it needs to run as root), GNOME Shell with the AppIndicator
# extension and XWayland, and KDE Plasma on Xvfb with KWin. About 1.2 GB.
AVRANE_DESKTOP_PACKAGES=(sway waybar grim util-linux gnome-shell gnome-shell-extension-appindicator
                         xwayland plasma-workspace plasma-desktop kwin-x11 kactivitymanagerd)
# What the test suite adds: GoogleTest, Google Benchmark, clang with its sanitizer and fuzzer
# runtimes, dbus-daemon for the private buses some tests start, python3 whose strict JSON
# parser checks the command-line tool's output, and the desktops the tray application is tried
# on: an X server with an XEmbed tray and XTEST input (xvfb trayer xdotool, read through
# libxcb1-dev), the accessibility bus and its registry that screen readers read the panel
# through (at-spi2-core), and a Wayland compositor with Qt's plugin for it (weston
# qt6-wayland); the packaging tools, and the desktops above.
AVRANE_TEST_PACKAGES=("${AVRANE_RUN_PACKAGES[@]}" clang libclang-rt-14-dev libgtest-dev
                      libgmock-dev libbenchmark-dev python3 xdotool at-spi2-core weston qt6-wayland
                      "${AVRANE_PACKAGE_TOOLS[@]}" "${AVRANE_DESKTOP_PACKAGES[@]}")

# Installs the named packages that are missing; quiet when everything is there.
avrane_ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "error: missing packages (${missing[*]}) and no sudo to install them" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    echo "Installing ${missing[*]} ..."
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# avrane_configure <dir> [cmake options...]: configures build/<dir> with Ninja.
avrane_configure() {
    local dir=$1; shift
    cmake -S "$AVRANE_ROOT" -B "$AVRANE_ROOT/build/$dir" -G Ninja -Wno-dev "$@" >/dev/null
}

# build/asan: clang with AddressSanitizer + UndefinedBehaviorSanitizer. Line tables are all
# the debug information a sanitizer's report needs, and they build much faster than -g.
avrane_configure_asan() {
    CC=clang CXX=clang++ avrane_configure asan -DCMAKE_BUILD_TYPE=Debug -DAVRANE_WERROR=ON \
        -DAVRANE_SANITIZE="address;undefined" -DAVRANE_BUILD_BENCHMARKS=OFF \
        -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only
}
