# Shared by scripts/run and scripts/test: the checkout's root, the Debian packages Korvane needs,
# and their installation (only what is missing; with sudo when not root).
KORVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

KORVANE_PACKAGES=(
  g++ cmake ninja-build
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev
  libopencv-imgproc-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev
  libgif-dev libtiff-dev
  libgtest-dev libbenchmark-dev
  fonts-dejavu-core
)

korvane_install_packages() {
  local missing=() p
  for p in "${KORVANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    "${missing[@]}"
}
