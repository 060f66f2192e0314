#!/usr/bin/env bash
# One entry for developers and CI:
#   tools/build.sh run    install what is missing, build optimised, start Lumivo
#   tools/build.sh test   install what is missing, build with sanitizers, run every test
#                         (the fuzz targets replay their seeds and saved findings), check that
#                         the tests left nothing in the temporary folder, then a short pass of
#                         the benchmarks in the optimised build. Only deterministic checks:
#                         exploratory fuzzing is tools/fuzz.sh, on demand.
#   tools/build.sh bench  optimised build, full benchmark runs
#   tools/build.sh package  optimised build, then the Debian packages in build/release: the
#                         program's (lumivo_*.deb) and the control library's
#                         (liblumivo-transitions3_*.deb, liblumivo-transitions-dev_*.deb),
#                         each checked by lintian
#   tools/build.sh docs   the control's API reference, build/docs/html/index.html
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

case "${1:-}" in
package | docs) tools/install-deps.sh "$1" ;;
*) tools/install-deps.sh ;;
esac

release() {
  # Installed under /usr, the libraries go into the multiarch folder, as Debian places them.
  cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLMVO_TESTS=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
  cmake --build "$root/build/release" -j "$jobs"
}

case "${1:-}" in
run)
  release
  if [[ -x build/release/lmvo ]]; then
    exec build/release/lmvo
  fi
  echo "The program is not built yet in this version; built: $(ls build/release | tr '\n' ' ')" >&2
  exit 1
  ;;
test)
  # Line tables only: a sanitizer's report keeps its files and lines, and the build takes a
  # fifth less time than with full debugging information.
  cmake -S "$root" -B "$root/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DLMVO_SANITIZE=ON -DLMVO_BENCH=OFF >/dev/null
  cmake --build "$root/build/test" -j "$jobs"
  # The tests get a temporary folder of their own, which must be empty again afterwards but for
  # Qt's runtime folder (where XDG_RUNTIME_DIR is unset).
  # Like /tmp, it lets every user in: some tests run parts as another user.
  scratch=$(mktemp -d)
  chmod 1777 "$scratch"
  (cd build/test && TMPDIR=$scratch ctest --output-on-failure -j "$jobs" --timeout 600)
  left=$(find "$scratch" -mindepth 1 -maxdepth 1 ! -name "runtime-$(id -un)"; find "$scratch" -mindepth 2)
  if [[ -n $left ]]; then
    echo "the tests left these behind in the temporary folder:" >&2
    echo "$left" >&2
    exit 1
  fi
  rm -rf "$scratch"
  release
  for b in build/release/bench/bench_*; do
    [[ -f $b && -x $b ]] || continue
    echo "== $(basename "$b") (short pass)"
    LMVO_BENCH_SHORT=1 QT_QPA_PLATFORM=offscreen "$b" --benchmark_min_time=0.01 >/dev/null
  done
  ;;
bench)
  release
  for b in build/release/bench/bench_*; do
    [[ -f $b && -x $b ]] || continue
    QT_QPA_PLATFORM=offscreen "$b"
  done
  ;;
package)
  release
  rm -f "$root"/build/release/*.deb
  (cd build/release && cpack -G DEB)
  for deb in "$root"/build/release/*.deb; do
    echo "== lintian $(basename "$deb")"
    lintian --fail-on error "$deb"
  done
  ls "$root"/build/release/*.deb
  ;;
docs)
  mkdir -p build/docs
  doxygen docs/Doxyfile
  echo "$root/build/docs/html/index.html"
  ;;
*)
  echo "usage: tools/build.sh run|test|bench|package|docs" >&2
  exit 2
  ;;
esac
