#!/usr/bin/env bash
# Makes the Debian package: the game, its tools and demo data built for /usr
# with Debian's own compiler and linker flags (dpkg-buildflags: fortified,
# stack-protected, read-only relocations), in build/package/, then
# `cpack -G DEB`. The .deb is left in build/package/ and checked with lintian
# (errors and warnings fail). Installs what is missing first (scripts/deps.sh),
# with dpkg-dev for the library dependencies and lintian.
#
#   scripts/package.sh        QF_PACKAGE_JOBS=N sets the build's jobs (2)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh --dev dpkg-dev lintian
build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQF_TESTS=OFF -DQF_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
nice -n 10 cmake --build "$build" -j"${QF_PACKAGE_JOBS:-2}"
rm -f "$build"/quillfen_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillfen_*.deb)
echo "package.sh: $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends
lintian --fail-on error,warning "$deb"
echo "package.sh: lintian finds no error or warning"
