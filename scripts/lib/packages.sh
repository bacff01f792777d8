# Debian packages the project needs. Sourced by scripts/run and scripts/test.
# shellcheck shell=bash

# To build and run the program.
BUILD_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libx11-dev libxcb1-dev libxtst-dev libxkbcommon-dev libwayland-dev
)

# Further, to run the whole test suite: a virtual X server with a window manager (openbox), xdotool
# and xprop to drive and inspect the real program in it, setxkbmap to switch its keyboard layout,
# a headless Wayland compositor (weston) whose keymap the uinput keyboard follows, and qemu with
# busybox to boot a stock Debian kernel for the kernel-level input tests; inside that guest, a
# Wayland session (sway with udev, seatd, XWayland and a font) and wev to show what it receives.
TEST_PACKAGES=(
  libgtest-dev
  xvfb xdotool x11-xkb-utils x11-utils openbox weston
  qemu-system-x86 busybox-static cpio
  sway seatd udev xwayland wev fonts-dejavu-core
)

# Installs whatever of the given packages is missing: directly as root, through sudo otherwise.
# When neither can install, prints the exact command and stops.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local install=(apt-get install -y --no-install-recommends "${missing[@]}")
  echo "Installing missing packages: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive "${install[@]}" && return 0
  elif command -v sudo >/dev/null 2>&1; then
    local sudo=(sudo)
    [ -t 0 ] || sudo=(sudo -n)
    "${sudo[@]}" apt-get update -qq && "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${install[@]}" && return 0
  fi
  echo "Could not install the packages this project needs. Run this, then try again:" >&2
  echo "  sudo apt-get update && sudo ${install[*]}" >&2
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
