#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and checks it as
# Debian does: lintian on the package (no error, no warning), and the desktop
# entry and the AppStream metadata with their own validators.
#   scripts/check-package.sh BUILD_DIR
# CTest runs it (test packaging/check) in Release builds when lintian,
# desktop-file-utils and appstream are installed.
set -euo pipefail
build="$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
for tool in cpack lintian desktop-file-validate appstreamcli dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "check-package: $tool is not installed" >&2; exit 1; }
done

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }
deb="$(ls "$out"/*.deb)"
echo "check-package: $deb"

status=0
# Errors and warnings fail; informational tags are shown for the record.
lintian --fail-on error,warning --display-info "$deb" || status=1
desktop-file-validate "$source_dir/packaging/pelvanor.desktop" || status=1
appstreamcli validate --pedantic --no-net "$source_dir/packaging/org.pelvanor.Pelvanor.metainfo.xml" || status=1
exit $status
