# Debian packages the project needs. Sourced by scripts/run and scripts/test.
# shellcheck shell=bash

# To build and run the program; qt6-wayland for a native window in a Wayland session.
BUILD_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev qt6-wayland
  libx11-dev libxcb1-dev libxtst-dev libxkbcommon-dev libwayland-dev
  libx11-xcb-dev libxcb-xkb-dev libxcb-xtest0-dev libxcb-xinput-dev
)

# Further, to run the whole test suite: a virtual X server with a window manager (openbox), xdotool
# and xprop to drive and inspect the real program in it, setxkbmap to switch its keyboard layout,
# a Wayland compositor (weston, headless) whose keymap the uinput keyboard follows and on which
# the display tests start the program, xauth for the display tests, and qemu with busybox to boot
# a stock Debian kernel for the kernel-level input tests; inside that guest, a Wayland session
# (sway with udev, seatd, XWayland and a font) and wev to show what it receives, and the real
# program under Xvfb with the same font.
TEST_PACKAGES=(
  libgtest-dev
  xvfb xdotool x11-xkb-utils x11-utils openbox weston xauth
  qemu-system-x86 busybox-static cpio
  sway seatd udev xwayland wev fonts-dejavu-core
)

# Installs whatever of the given packages is missing: directly as root, through sudo otherwise.
# When neither can install, says so, prints the exact command to run as root, and stops.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local install=(apt-get install -y --no-install-recommends "${missing[@]}")
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    # Without a terminal, sudo can only go on where it needs no password.
    if command -v sudo >/dev/null 2>&1 && { [ -t 0 ] || sudo -n true 2>/dev/null; }; then
      as_root=(sudo)
    else
      as_root=(none)
    fi
  fi
  if [ "${as_root[*]}" != none ]; then
    echo "Installing missing packages: ${missing[*]}"
    "${as_root[@]}" apt-get update -qq &&
      "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}" && return 0
  fi
  echo "Could not install the packages this project needs: ${missing[*]}" >&2
  if [ "$(id -u)" -eq 0 ]; then
    echo "Mend what apt-get said above, then try again." >&2
  elif command -v sudo >/dev/null 2>&1; then
    echo "Run this, then try again:" >&2
    echo "  sudo apt-get update && sudo ${install[*]}" >&2
  else
    echo "Run this as root, then try again:" >&2
    echo "  apt-get update && ${install[*]}" >&2
  fi
  exit 1
}

# The kernel tests fetch a stock kernel package with apt-get download, which needs the package
# lists; a machine whose packages were all there may never have fetched them.
ensure_package_lists() {
  apt-cache show linux-image-amd64 >/dev/null 2>&1 && return 0
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq || true
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo apt-get update -qq || true
  fi
}
