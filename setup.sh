#!/usr/bin/env bash
# Sets up a Debian 12 machine for Velloran, builds it, and then either starts
# the program on a fresh library beside the executable or runs every test
# headless.
#   ./setup.sh start   install what is missing, build, lay a fresh library, start
#   ./setup.sh test    install what is missing, build, run every test headless
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-start}
build=${VELLORAN_BUILD:-build}

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-translations-l10n qt6-webengine-dev libqt6webenginecore6-bin libgl-dev
  libsqlite3-dev sqlite3
  libzip-dev libuchardet-dev
  poppler-utils
  fonts-noto-cjk
  xvfb xauth
  lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser engine refuses its sandbox as root; it is only ever shown our
# own documents, with their scripts switched off.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# The test build turns every warning into an error, as CI does; starting the
# program is never stopped by a warning a newer compiler may bring.
werror=OFF
if [ "$mode" = test ]; then
  werror=ON
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLORAN_WERROR="$werror"
cmake --build "$build" -j"$(nproc)"

case "$mode" in
  start)
    # The build laid a fresh library beside the executable unless one was
    # there already.
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      echo "No display found: starting Velloran on a virtual one (xvfb-run)." >&2
      exec xvfb-run -a -s "-screen 0 1280x900x24" "$build/bin/velloran"
    fi
    exec "$build/bin/velloran"
    ;;
  test)
    export QT_QPA_PLATFORM=offscreen
    cd "$build"
    exec ctest --output-on-failure --timeout 900
    ;;
  *)
    echo "usage: $0 start|test" >&2
    exit 2
    ;;
esac
