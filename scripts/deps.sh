#!/usr/bin/env bash
# Installs what the build, the program and the tests need (Debian 12, as root
# or with sudo).  Skips apt-get when everything is already there.
set -euo pipefail
# nlohmann-json3-dev: the JSON summary of pelvanor-batch (header-only).
# libboost-dev: only its header-only Boost.Math, the independent reference of the
# F distribution tests.  qt6-translations-l10n: Qt's own Czech texts.  The
# package checkers (lintian, desktop-file-utils, appstream) are optional: the
# package test runs when they are installed.  qt6-svg-dev: the SVG export of
# "Grafy".  clang and libclang-rt-14-dev (libFuzzer and the sanitizer
# runtimes): the fuzz targets, whose seeds the test command runs.
# libdxflib-dev: the DXF library that reads the DXF export back in the tests.
pkgs=(g++ cmake make pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl1-mesa-dev
      nlohmann-json3-dev libgtest-dev libboost-dev python3 fonts-liberation2 fonts-wine locales
      qt6-translations-l10n clang libclang-rt-14-dev libdxflib-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The tests run in a Czech (comma) and an English (point) locale.
if ! locale -a 2>/dev/null | grep -qi '^cs_CZ.utf8$'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO sed -i -e 's/^# *cs_CZ.UTF-8/cs_CZ.UTF-8/' -e 's/^# *en_US.UTF-8/en_US.UTF-8/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
