# Shared by the scripts in scripts/: the Debian packages each job needs, and
# installing whichever of them are missing.

# Building the program.
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libxcb1-dev libxcb-randr0-dev
                libpipewire-0.3-dev libwayland-dev libwayland-bin wayland-protocols)
# Running it, with a virtual display when there is no desktop.
RUN_PACKAGES=(xvfb xdotool imagemagick fonts-dejavu-core)
# Testing it: X servers (Xvfb; XWayland for GNOME), the tools that drive the
# program from outside, wine and mingw-w64 for the Windows program, what Debian
# and the desktops check a package with, a headless GNOME (mutter, the portals,
# PipeWire) with what drives it (D-Bus, AT-SPI) and records it (GStreamer), and
# a headless sway (wlroots).
TEST_PACKAGES=(xvfb xdotool x11-xserver-utils imagemagick fonts-dejavu-core python3 python3-xlib
               xwayland g++-mingw-w64-x86-64 wine wine64 fonts-wine icoutils wixl msitools faketime
               dpkg-dev file lintian desktop-file-utils appstream appstream-compose man-db
               diffoscope-minimal
               mutter xdg-desktop-portal xdg-desktop-portal-gnome pipewire pipewire-bin wireplumber
               dbus dbus-bin libglib2.0-bin gsettings-desktop-schemas libgl1-mesa-dri libegl-mesa0
               at-spi2-core python3-dbus python3-gi gir1.2-atspi-2.0 qt6-wayland
               gstreamer1.0-pipewire gstreamer1.0-tools sway swaybg grim)

# ensure_packages NAME... : installs the missing ones with apt-get (as root, or
# through sudo); otherwise names them and fails.
ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0

    local sudo=()
    if [[ $(id -u) -ne 0 ]]; then
        if command -v sudo >/dev/null; then
            sudo=(sudo)
        else
            echo "Missing Debian packages: ${missing[*]}" >&2
            echo "Install them as root: apt-get install ${missing[*]}" >&2
            return 1
        fi
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

# start_xvfb DEPTH SIZE [XVFB_ARGS...] : a private Xvfb on a free display; sets
# DISPLAY and XVFB_PID. -noreset keeps the colours put on the root when the last
# client leaves; -displayfd lets the server pick a free display number, so runs
# can overlap.
start_xvfb() {
    local fifo
    fifo=$(mktemp)
    Xvfb -displayfd 5 -noreset -nolisten tcp -screen 0 "${2}x${1}" "${@:3}" 5>"$fifo" 2>/dev/null &
    XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        [[ -s $fifo ]] && break
        sleep 0.1
    done
    DISPLAY=":$(head -n1 "$fifo")"
    rm -f "$fifo"
    [[ $DISPLAY != : ]] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY
    unset WAYLAND_DISPLAY
}
