#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the folder layout: the #include graph between the source folders has
# no cycle, and nothing outside app/ includes app/ (the main window is the
# hub above every folder). Prints the folder edges; exits 1 on a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
folders="foundation dialogs browser fileops viewer search compare app"
edges=$(
  for from in $folders; do
    [ -d "$from" ] || continue
    { grep -ho '^#include "[a-z_]*/' "$from"/*.h "$from"/*.cpp 2>/dev/null || true; } |
      sed 's|^#include "||; s|/$||' | sort -u |
      while read -r to; do
        [ "$to" != "$from" ] && [ -d "$to" ] && echo "$from $to"
      done
  done | sort -u
)
fault=0
echo "$edges" | sed 's/ / -> /'
if bad=$(grep -rln '^#include "app/' $(echo "$folders" | sed 's/ app//') 2>/dev/null); then
  echo "Only app/ may include app/; these do:" $bad
  fault=1
fi
# tsort lists every node when the graph is acyclic and names a loop otherwise.
if ! loop=$(echo "$edges" | tsort 2>&1 >/dev/null); then
  echo "The folders include each other in a cycle:"
  echo "$loop"
  fault=1
fi
exit $fault
