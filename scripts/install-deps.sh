#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and run Pictavo.
# Idempotent: packages already present are skipped, and apt is not touched
# at all when nothing is missing.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-image-formats-plugins libqt6svg6
  libjpeg62-turbo-dev libturbojpeg0-dev libexif-dev libchm-dev
  libheif-dev libpng-dev zlib1g-dev # HEIC/HEIF and AVIF (libheif links its codecs); PNG rows and chunks
  libseccomp-dev # the picture loader's system call filter
  libtiff-dev # TIFF samples read and written as the file holds them
  libwebp-dev # a giant WebP cropped and scaled while it decodes
  libraw-dev libjxl-dev qt6-svg-dev # camera RAW previews, JPEG XL, SVG (LibRaw and libjxl loaded when first needed)
  libavif-dev # AVIF sequences played (libavif loaded when first needed)
  libwebp-dev # animated WebP played through libwebp's demuxer (loaded when first needed)
  libgtest-dev libgmock-dev libbenchmark-dev
  fp-utils-3.2.2
  xvfb xauth
  desktop-file-utils appstream shared-mime-info libglib2.0-bin dpkg-dev file
  fonts-dejavu-core
  libimage-exiftool-perl # tests compare our EXIF output with exiftool's reading
  at-spi2-core python3-pyatspi dbus # scripts/dump-accessible.sh reads the windows as a screen reader does
  dbus-daemon # the file manager and portal calls are tested against fakes on a bus of the test's own
)
# `install-deps.sh fuzz`: also clang and its libFuzzer runtime for `make fuzz`.
if [ "${1:-}" = "fuzz" ]; then
  PACKAGES+=(clang libclang-rt-14-dev)
fi
# `install-deps.sh bench`: the peers `make bench` measures against, and the
# libjpeg and libjxl command-line tools for the codec floor and reference
# decodes; the viewers
# bench/peers_onscreen.py times on screen, with the window manager that
# maximises them and the X library its screen probe uses.
if [ "${1:-}" = "bench" ]; then
  PACKAGES+=(libvips-tools imagemagick libjpeg-turbo-progs libjxl-tools libheif-examples time)
  PACKAGES+=(feh geeqie eog gwenview matchbox-window-manager python3-xlib)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
