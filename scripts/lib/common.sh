# Shared by the project's scripts: where things are, and the one place that
# installs what the build needs.
set -euo pipefail

HELM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export HELM_ROOT

# Debian/Ubuntu packages the build, tests, benchmarks and fuzzing need, and
# the tools beside the modules: tshark for the dissector's test, matplotlib
# for linkplot; zstd and libsodium for the relay's trunk.
HELM_PACKAGES=(cmake ninja-build g++ make libgtest-dev libgmock-dev googletest libbenchmark-dev clang clang-format libclang-rt-dev python3
               tshark python3-matplotlib libzstd-dev libsodium-dev pkg-config)
# What the Windows build check (scripts/wincheck) needs beyond those: the
# mingw-w64 headers, libraries and binutils (dlltool, objdump) for the 32-bit
# (i686) and the 64-bit (x86-64) host, and LLVM's nm and demanglers.
HELM_WINCHECK_PACKAGES=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 llvm)
# What the Wine run (scripts/winrun) needs beyond HELM_PACKAGES: the x86_64
# mingw-w64 compiler and binutils (objdump for the import tables), Wine for
# 64-bit programs, and a headless X server for the keyboard path (xvfb-run
# needs xauth, which xvfb only recommends).
HELM_WINRUN_PACKAGES=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 xvfb xauth)

# Installs what is missing of HELM_PACKAGES and of the packages named as arguments.
helm_ensure_packages() {
  local missing=()
  local package
  for package in "${HELM_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq >/dev/null
  # No questions (tshark's package asks whether to capture without root):
  # the environment must reach apt-get through sudo too.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Configure (once) and build a preset.
helm_build() {
  local preset="$1"
  cd "$HELM_ROOT"
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null
  fi
  cmake --build --preset "$preset"
}
