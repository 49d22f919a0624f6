# Shared by the scripts: the project root and the packages every build needs.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_packages=(build-essential cmake pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
                libbenchmark-dev libcli11-dev nlohmann-json3-dev fonts-dejavu-core libxcb1-dev
                help2man) # help2man: the CLI manual page is made in every build

configure_and_build() { # folder, extra cmake arguments...
  local folder="$1"; shift
  cmake -S "$root" -B "$root/$folder" "$@" >/dev/null
  cmake --build "$root/$folder" -j"$(nproc)"
}
# What packaging and its checks need besides a build.
package_packages=(dpkg-dev file fakeroot desktop-file-utils appstream lintian)
# What the smoke test on a real X server needs: the server, a window manager,
# the X tools it reads windows, grabs the screen and sets the keymap with,
# and the accessibility bus.
smoke_packages=(xvfb openbox x11-utils x11-xserver-utils x11-apps xdotool imagemagick dbus dbus-x11 at-spi2-core python3 python3-pyatspi)
# The Windows build: the MinGW-w64 cross compiler (POSIX thread model, for
# std::thread and friends), GoogleTest's sources to build with it, and Wine
# to run what it makes.
windows_packages=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine64 libcli11-dev nlohmann-json3-dev)
# How build-windows/ is configured, for the tests and the zip alike.
windows_cmake_arguments=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTARVIDON_ENGINE_ONLY=ON)
# What the Windows zip and its check need besides that build.
windows_zip_packages=(zip unzip binutils-mingw-w64-x86-64)
