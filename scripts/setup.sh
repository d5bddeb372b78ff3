# Sourced by ./demo and ./check: installs the Debian packages the build needs
# (only those missing) and builds incrementally into $BUILD_DIR.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PACKAGES="build-essential cmake pkg-config libncurses-dev libgtest-dev libgmock-dev
  nlohmann-json3-dev libvterm-dev ncompress gzip tmux"

kvl_install_packages() {
  local missing=()
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing Debian packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# kvl_build BUILD_DIR [cmake options...]
kvl_build() {
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}
