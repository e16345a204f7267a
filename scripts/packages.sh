# Installs the Debian packages that building and testing Plotvane need, when any is missing.
# Sourced by the other scripts; asks for sudo only when not root.

plotvane_packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev liblzo2-dev
  nlohmann-json3-dev libcli11-dev
  qt6-base-dev
  clang libclang-rt-dev
)

install_missing_packages() {
  local missing=()
  local package
  for package in "${plotvane_packages[@]}"; do
    if ! dpkg -s "$package" >/dev/null 2>&1; then
      missing+=("$package")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    "${missing[@]}"
}
