#!/usr/bin/env bash
# Builds the Debian package of kvt3 from this checkout, in build-package/ (optimised, prefix /usr,
# without the tests). Everything goes to standard error but the last line: the path of the .deb.
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
tree=build-package
if [ ! -f "$tree/build.ninja" ]; then
  cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DKVT3_WITH_TESTS=OFF >&2
fi
cmake --build "$tree" -j"$(nproc)" >&2
rm -f "$tree"/kvt3_*.deb
(cd "$tree" && cpack -G DEB >&2)
debs=("$PWD/$tree"/kvt3_*.deb)
[ -f "${debs[0]}" ] || { echo "package: cpack made no .deb" >&2; exit 1; }
echo "${debs[0]}"
