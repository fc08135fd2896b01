#!/usr/bin/env bash
# Installs Debian packages for the project's scripts, as root or with sudo.
# A mirror in the middle of a sync makes `apt-get update` fail on one index
# (say the security suite's i386 list) for hours. The update is tried again;
# if it still fails, the install goes on from the lists it has, and if that
# cannot be resolved (an amd64 library at its security version whose i386
# twin's list is missing), it is tried once more preferring the release's
# main suite, where both architectures' lists are whole.
#   scripts/apt_install.sh PACKAGE...
set -euo pipefail
if [ "$(id -u)" != 0 ]; then SUDO=sudo; else SUDO=; fi
updated=0
for attempt in 1 2 3; do
  if $SUDO apt-get update -qq; then
    updated=1
    break
  fi
  [ $attempt = 3 ] || sleep $((attempt * 15))
done
[ $# -eq 0 ] && exit 0
install() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
if [ $updated = 1 ]; then
  install "$@"
elif ! install "$@"; then
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "apt_install: apt-get update failed on some index; installing from $release's main suite" >&2
  install -t "$release" "$@"
fi
