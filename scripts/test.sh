#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, then builds and runs every test twice: in the
# normal build and in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
# One compiler cache for every checkout of the project on this machine.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime

echo "== Format check"
clang-format --dry-run -Werror $(git ls-files '*.cpp' '*.h')

echo "== Folder layout (no include cycle between folders, nothing includes app/)"
scripts/check_layout.sh

echo "== Normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
ctest --test-dir build -j2 --output-on-failure --timeout 300

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTROVIX_SANITIZE=ON -DTROVIX_BENCH=OFF
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
  ctest --test-dir build-asan -j2 --output-on-failure --timeout 600

echo "== ThreadSanitizer build of the file operation engine, the search worker, the listing, folder tree and view window workers, their threads and the windows that start them"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTROVIX_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
tsan_tests="test_file_operations test_copy_move_thread test_search_thread test_main_window
  test_file_commands test_drag_drop test_search_form test_worker_pool test_async_window
  test_folder_tree test_view_load test_query_form"
cmake --build build-tsan -j2 --target $tsan_tests
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
for t in $tsan_tests; do build-tsan/tests/$t; done
