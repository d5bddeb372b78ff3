# Sourced by ./demo and ./check: installs the Debian packages the build needs
# (only those missing, non-interactively) and builds incrementally.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PACKAGES="build-essential cmake ninja-build pkg-config libncurses-dev libgtest-dev libgmock-dev
  nlohmann-json3-dev libvterm-dev ncompress gzip tmux groff-base"
# Only ./check needs these: clang and its libFuzzer runtime for the fuzz targets.
CHECK_PACKAGES="clang libclang-rt-14-dev"

# kvl_install_packages [EXTRA_PACKAGES...]: PACKAGES and the extra ones.
kvl_install_packages() {
  local missing=() status
  for p in $PACKAGES "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing Debian packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root to install: ${missing[*]}" >&2; return 1; }
    sudo=(sudo env DEBIAN_FRONTEND=noninteractive)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# kvl_configure BUILD_DIR [cmake options...]: a new folder builds with Ninja
# where it is installed; a folder configured before keeps its generator.
kvl_configure() {
  local dir=$1; shift
  local gen=()
  if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
    gen=(-G Ninja)
  fi
  cmake -S "$ROOT" -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

# kvl_build BUILD_DIR [cmake options...]: configures and builds everything.
kvl_build() {
  kvl_configure "$@"
  cmake --build "$1" -j"$(nproc)"
}

# kvl_build_fuzz BUILD_DIR [cmake options...]: the fuzz targets with clang,
# and only what they link. The simulator is left out: the targets bring their
# own fake driver.
kvl_build_fuzz() {
  local dir=$1; shift
  kvl_configure "$dir" -DKVL_FUZZ=ON -DKVL_SIMULATOR=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@"
  cmake --build "$dir" -j"$(nproc)" --target kvl_fuzz_targets
}
