#!/usr/bin/env bash
# Builds the Debian package in the build folder and checks what it holds
# and what lintian says of it.
set -euo pipefail
build=$1
cd "$build"
rm -f velloran_*_amd64.deb
cpack -G DEB > /dev/null
deb=$(ls velloran_*_amd64.deb)
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/velloran ./usr/share/applications/velloran.desktop ./usr/share/metainfo/velloran.metainfo.xml \
         ./usr/share/icons/hicolor/64x64/apps/velloran.png ./usr/share/velloran/library/images/system/index.jpg \
         ./usr/share/doc/velloran/copyright; do
  grep -q " $f\$" <<<"$contents" || { echo "missing from $deb: $f"; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6webenginecore6 || { echo "no dependency on the web engine"; exit 1; }
lintian --fail-on error --allow-root "$deb"
