#!/usr/bin/env bash
# The main job: installs what the build needs, builds the plug-in and the
# tools in Release, installs the VST 3 bundle where Linux hosts look for it
# (~/.vst3), and renders the demo song with the offline renderer into
# build/release/demo.wav.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVB_BUILD_TESTS=OFF
cmake --build build/release
mkdir -p "$HOME/.vst3"
rm -rf "$HOME/.vst3/VrelBazzit.vst3"
cp -R build/release/VrelBazzit.vst3 "$HOME/.vst3/"
echo "VST 3 bundle installed: $HOME/.vst3/VrelBazzit.vst3"
build/release/tools/vrelbazzit-render/vrelbazzit-render --seed 1 \
  resources/demo/demo.mid build/release/demo.wav
echo "Demo rendered: build/release/demo.wav"
