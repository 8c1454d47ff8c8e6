#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, when any is missing.
# Safe to call every time: it asks apt only when something is absent.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-tools-dev qt6-l10n-tools  # the English translation: lupdate, lrelease and their CMake macros
  qt6-translations-l10n  # Qt's own dialogs in Polish (qtbase_pl.qm)
  libqrencode-dev  # the QR code of the live view's address
  libmosquitto-dev mosquitto mosquitto-clients  # readings to an MQTT broker; a broker for its tests
  qt6-charts-dev  # the live curves
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
  dpkg-dev help2man desktop-file-utils debootstrap lintian appstream
  xdotool x11-utils tesseract-ocr tesseract-ocr-pol strace time
  at-spi2-core python3-pyatspi dbus-daemon dbus-bin  # the readout read over the accessibility bus
  chromium chromium-driver nodejs  # the live view in a browser (tests/browser)
)
# npm comes with some builds of nodejs; Debian's own is a package of its own.
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The browser tests' driver (tests/browser): playwright-core as locked, with Debian's chromium and
# never a browser of its own. Installed again only when the lock file has changed.
# Two tests started at once may both get here: one installs, the other waits for it.
browser=$(cd "$(dirname "$0")/../tests/browser" && pwd)
(
  flock 9
  if ! cmp -s "$browser/package-lock.json" "$browser/node_modules/.kvt3-installed-lock"; then
    echo "setup: installing tests/browser's node packages"
    (cd "$browser" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    cp "$browser/package-lock.json" "$browser/node_modules/.kvt3-installed-lock"
  fi
) 9>"${TMPDIR:-/tmp}/kvt3-setup-browser.lock"
