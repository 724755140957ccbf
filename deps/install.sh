#!/bin/sh
# Installs the Debian packages listed in deps/debian-packages.txt that are missing.
set -e
here=$(dirname "$0")
missing=""
for p in $(grep -v '^#' "$here/debian-packages.txt" | sed 's/#.*//' | tr -s ' \n' '\n'); do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
