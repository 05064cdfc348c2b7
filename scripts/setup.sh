#!/usr/bin/env bash
# Installs every Debian package the build, the tools and the tests need.
# Safe to run again; it only installs what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev   # libFuzzer targets and their sanitizer runtime
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libhwy-dev              # Highway: the engine's vector kernels (headers only; targets chosen at run time)
  libsndfile1-dev         # WAV writing in the offline renderer
  libcli11-dev            # command-line parsing of the tools
  juce-modules-source-data    # the VST 3 SDK's interfaces (VST3_SDK inside JUCE's modules)
  g++-mingw-w64-x86-64-posix  # the Windows cross build of the module
  wine wine64                 # runs the Windows host test
  dpf-source                  # NanoVG (and DGL) sources
  libstb-dev                  # stb_image (PNG decoding), stb_image_write (PNG files of the preview)
  fonts-roboto                # the editor font Roboto-Regular.ttf, copied into the bundle
  libegl-dev libopengl-dev libgl-dev  # EGL and OpenGL headers and libraries (GLVND)
  libegl-mesa0 libgl1-mesa-dri        # Mesa's EGL and its software renderer llvmpipe: headless drawing tests
  librsvg2-bin                # rsvg-convert: the reference renderer the SVG tests compare with
  libx11-dev libxcursor-dev libxext-dev libxrandr-dev  # the editor's X11 window (DGL/pugl)
  libglx-mesa0                # Mesa's GLX: OpenGL in X windows, also under Xvfb
  xvfb libxtst-dev            # the view tests: a private X server (wine's OpenGL too) and clicks sent through it
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
