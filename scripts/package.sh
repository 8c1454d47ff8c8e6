#!/usr/bin/env bash
# Builds the Debian package of kvt3 from this checkout's files as they are, uncommitted changes
# included, in build-package/ (optimised, hardened, prefix /usr, without the tests). Everything goes to standard error but the last line: the path of the .deb.
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
tree=build-package
# Debian's hardening flags, as a Debian package's build gets them: fortify (in CPPFLAGS, which
# CMake has no variable for, so they go with the C++ flags), the stack protector, relro and
# bind-now; PIE is the compiler's default. Configured every time, so a tree made before takes them
# too (unchanged flags rebuild nothing).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DKVT3_WITH_TESTS=OFF -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >&2
cmake --build "$tree" -j"$(nproc)" >&2
rm -f "$tree"/kvt3_*.deb
(cd "$tree" && cpack -G DEB >&2)
debs=("$PWD/$tree"/kvt3_*.deb)
[ -f "${debs[0]}" ] || { echo "package: cpack made no .deb" >&2; exit 1; }
echo "${debs[0]}"
