#!/usr/bin/env bash
# The main job: installs what the build needs, builds the plug-in and the
# tools in Release, and renders the demo song with the offline renderer into
# build/release/demo.wav.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVB_BUILD_TESTS=OFF
cmake --build build/release
build/release/tools/vrelbazzit-render/vrelbazzit-render --seed 1 \
  resources/demo/demo.mid build/release/demo.wav
echo "Demo rendered: build/release/demo.wav"
