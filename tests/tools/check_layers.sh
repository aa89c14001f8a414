#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The layers, lowest
# first: core, config, connection, viewer, gui, then dialogs and commands side by side,
# then start-up (with main) on top. The engine's internal header is included only inside the
# engine (and by its tests); the toolkit's headers only from the viewer up.
set -u
cd "${1:-$(dirname "$0")/../..}" || exit 2
rank() {
  case "$1" in
    core) echo 0 ;; config) echo 1 ;; connection) echo 2 ;; viewer) echo 3 ;; gui) echo 4 ;;
    dialogs | commands) echo 5 ;; startup) echo 6 ;; *) echo "" ;;
  esac
}
status=0
for dir in core config connection viewer gui dialogs commands startup; do
  [ -d "$dir" ] || continue
  own=$(rank "$dir")
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$line")
    other=$(rank "$target")
    [ -n "$other" ] || continue
    # Side by side is not below: dialogs and commands do not include each other either.
    if [ "$other" -gt "$own" ] || { [ "$other" -eq "$own" ] && [ "$target" != "$dir" ]; }; then
      echo "$file includes a header of $target/, which is not below $dir/: ${line#*:}"
      status=1
    fi
  done < <(grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' "$dir")
done
# The engine's internal header stays inside the engine (and its tests).
while IFS= read -r line; do
  echo "$line includes the engine's internal header connection/engine_internal.h"
  status=1
done < <(grep -rl --include='*.h' --include='*.cpp' 'include "connection/engine_internal.h"' \
  core config viewer gui dialogs commands startup bench fuzz 2>/dev/null)
# The engine and the layers under it include nothing of the toolkit.
while IFS= read -r line; do
  echo "$line: the toolkit is included below the viewer"
  status=1
done < <(grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](FL|X11)/' \
  core config connection 2>/dev/null)
[ "$status" -eq 0 ] && echo "every include points down the layers"
exit "$status"
