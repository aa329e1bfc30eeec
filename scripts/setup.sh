#!/usr/bin/env bash
# Installs the Debian packages the project needs, but only those that are missing.
# Quiet when everything is already there; safe to run any number of times.
set -euo pipefail

# With arguments, installs those packages instead (the cross builds name theirs).
packages=(
  g++ cmake ninja-build
  googletest libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev libboost-dev
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl1-mesa-dev libxkbcommon-dev
  parallel
  clang-14 libclang-rt-14-dev
)
if [ $# -gt 0 ]; then packages=("$@"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
