#!/usr/bin/env bash
# The pictures of docs/screenshots, taken of the real program: builds the
# end-to-end desktop test, runs it (it photographs every step on its private
# Xvfb into build/artifacts/product) and copies the ones the documents show.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
lumetra_install_deps
LUMETRA_BUILD_TARGET=test_product_desktop lumetra_build build
rm -rf build/artifacts/product
build/bin/test_product_desktop >build/screenshots.log 2>&1 || { cat build/screenshots.log; exit 1; }
mkdir -p docs/screenshots
for name in led-idle led-busy led-hot-disk led-failing-disk led-options led-tinted details selftest tray-menu; do
  cp "build/artifacts/product/$name.png" docs/screenshots/
done
ls -l docs/screenshots
