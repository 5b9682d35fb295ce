#!/usr/bin/env bash
# Installs what the navigator and its tests need from Debian's packages.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  g++ cmake make pkg-config \
  libsdl1.2-dev libfreetype-dev zlib1g-dev libboost-dev libboost-graph-dev librapidxml-dev \
  libcurl4-openssl-dev fonts-dejavu-core libsqlite3-dev libcairo2-dev libosmium2-dev libprotozero-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libx11-dev xvfb xauth x11-apps imagemagick socat libxml2-utils zip python3 xdotool xclip xsel \
  clang libclang-rt-14-dev \
  espeak-ng sox
