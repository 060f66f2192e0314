#!/usr/bin/env bash
# Installs the Debian 12 packages Lumivo needs, only those that are missing.
#   tools/install-deps.sh [fuzz] [package] [docs]
# Building, running and testing need the first list; exploratory fuzzing, the packages' lintian
# check and the API reference need a few more, which a test run does without.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-tools-dev qt6-l10n-tools
  libpixman-1-dev libjpeg62-turbo-dev libexif-dev liblcms2-dev
  libmpv-dev libfluidsynth-dev fluid-soundfont-gm
  libgtest-dev libgmock-dev libbenchmark-dev
  libvips-dev libheif-dev libjxl-dev libseccomp-dev
  fonts-noto-cjk xvfb xauth xdotool
  appstream desktop-file-utils weston qt6-wayland
  dpkg-dev file
)
for extra in "$@"; do
  case $extra in
  fuzz) packages+=(clang libclang-rt-14-dev) ;;
  package) packages+=(lintian) ;;
  docs) packages+=(doxygen) ;;
  *) echo "install-deps.sh: unknown group $extra" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
