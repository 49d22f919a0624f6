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
smoke_packages=(xvfb openbox x11-utils x11-xserver-utils x11-xkb-utils x11-apps xdotool imagemagick dbus dbus-x11 at-spi2-core python3 python3-pyatspi
                python3-gi gir1.2-gtk-3.0) # a GTK window to drag files from
# The Windows build: the MinGW-w64 cross compiler (POSIX thread model, for
# std::thread and friends), GoogleTest's sources to build with it, and Wine
# to run what it makes.
windows_packages=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine64 libcli11-dev nlohmann-json3-dev)
# What the Windows zips, the installer and their checks need besides that build.
windows_zip_packages=(zip unzip binutils-mingw-w64-x86-64 nsis)
# Building Qt for Windows from Debian's source of the host's Qt: the host's
# Qt tools, dpkg-source to unpack it, Ninja to build it.
qt_windows_packages=(qt6-base-dev qt6-base-dev-tools dpkg-dev ninja-build)

# Configures build-windows/: everything, the window program too, against Qt
# for Windows (built on first use), for the tests and the packages alike.
configure_windows_build() { # extra cmake arguments...
  local qt
  qt=$("$root/scripts/build-qt-windows")
  cmake -S "$root" -B "$root/build-windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DTARVIDON_QT_WINDOWS="$qt" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DTARVIDON_ENGINE_ONLY=OFF -DTARVIDON_BENCH=OFF "$@" >/dev/null
}

# A scratch folder and background processes that end with the script:
# start_scratch sets $work and a trap that stops every pid in $pids.
start_scratch() {
  work=$(mktemp -d)
  pids=()
  trap stop_scratch EXIT
  trap 'exit 130' INT TERM
}
stop_scratch() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}

# Starts Xvfb on a free display of 1920x1080 and exports DISPLAY; the server
# writes its number once it accepts connections. Needs start_scratch first.
start_xvfb() { # extra Xvfb arguments...
  local display
  mkfifo "$work/display"
  Xvfb -displayfd 3 "$@" -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  read -r -t 30 display <"$work/display" || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; return 1; }
  rm -f "$work/display"
  export DISPLAY=":$display"
}
