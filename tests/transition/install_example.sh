#!/usr/bin/env bash
# The library as an outside project meets it: installs the build into a temporary prefix,
# builds examples/transition-demo against it with CMake and again with pkg-config, and runs
# each build's check offscreen (three frames of one style; the last must be the new picture).
#   install_example.sh BUILD_DIR SOURCE_DIR [COMPILER_FLAGS]
# COMPILER_FLAGS carry the sanitizers of an instrumented build, which its users need too.
set -euo pipefail
build=$1 source=$2 flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

cmake --install "$build" --prefix "$work/prefix" >/dev/null

cmake -S "$source/examples/transition-demo" -B "$work/cmake-build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/transition-demo" --check 58

pc=$(find "$work/prefix" -name lumivo-transitions.pc)
export PKG_CONFIG_PATH=${pc%/*}
"$(qtpaths6 --query QT_HOST_LIBEXECS)/uic" "$source/examples/transition-demo/DemoWindow.ui" -o "$work/ui_DemoWindow.h"
# shellcheck disable=SC2046,SC2086 # pkg-config's output is a list of words
c++ -std=c++17 -fPIC $flags -I"$work" "$source/examples/transition-demo/main.cpp" -o "$work/pkg-config-demo" \
    $(pkg-config --cflags --libs lumivo-transitions) -Wl,-rpath,"$(pkg-config --variable=libdir lumivo-transitions)"
"$work/pkg-config-demo" --check 7
