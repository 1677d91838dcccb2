#!/bin/sh
# Installs every Debian package that building, testing, benchmarking and the
# demo need. Quiet and quick when everything is present already.
set -eu

PACKAGES="
g++ make cmake pkg-config git
qt6-base-dev qt6-qpa-plugins libgl-dev
libcurl4-openssl-dev libssl-dev openssl zlib1g-dev
libgtest-dev libgmock-dev
libcpp-httplib-dev nlohmann-json3-dev
rapidjson-dev
xvfb xauth fonts-wqy-microhei
curl zip unzip tinyproxy tzdata
"

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $p" ;;
    esac
done

[ -z "$missing" ] && exit 0

echo "installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq $missing >/dev/null
