#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix, checks that every file is there
# and that the desktop entry and the AppStream metadata pass their validators.
set -euo pipefail
build=$1
prefix=$(mktemp -d /tmp/trovix-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

id=io.github.trovix.Trovix
files=(bin/trovix share/applications/$id.desktop share/metainfo/$id.metainfo.xml
  share/icons/hicolor/scalable/apps/$id.svg share/dbus-1/services/$id.service
  share/dbus-1/services/$id.FileManager1.service share/doc/trovix/copyright)
for size in 16 22 24 32 48 64 128 256; do
  files+=(share/icons/hicolor/${size}x${size}/apps/$id.png)
done
failed=0
for f in "${files[@]}"; do
  [ -s "$prefix/$f" ] || { echo "not installed: $f"; failed=1; }
done
[ -x "$prefix/bin/trovix" ] || { echo "bin/trovix is not executable"; failed=1; }
for size in 16 22 24 32 48 64 128 256; do
  file "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png" 2>/dev/null |
    grep -q "$size x $size" || { echo "the ${size}px icon is not ${size}x${size}"; failed=1; }
done
# D-Bus starts the installed program by its full path.
for service in $id $id.FileManager1; do
  grep -qx "Exec=$prefix/bin/trovix -nosplash" "$prefix/share/dbus-1/services/$service.service" ||
    { echo "$service.service does not start $prefix/bin/trovix"; failed=1; }
done
grep -qx "Name=org.freedesktop.FileManager1" "$prefix/share/dbus-1/services/$id.FileManager1.service" ||
  { echo "the file manager service file names another bus name"; failed=1; }
grep -q "<project_license>GPL-3.0-or-later</project_license>" "$prefix/share/metainfo/$id.metainfo.xml" ||
  { echo "the metainfo states no licence"; failed=1; }

desktop-file-validate "$prefix/share/applications/$id.desktop" || failed=1
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || failed=1
exit $failed
