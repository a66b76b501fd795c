#!/bin/sh
# Starts Tangleroot in the player's own data folder, where it keeps save.json
# ($XDG_DATA_HOME/tangleroot, by default ~/.local/share/tangleroot). The game
# reads assets/ from its working folder: a link there points at the installed
# pictures and font. A step here that fails is told by the game, as it tells
# its own refusals: on stderr, and in a window too with --show-errors, which
# the menu entry passes.
prefix="$(dirname "$(readlink -f "$0")")/.."
game="$prefix/lib/tangleroot/tangleroot"
data="${XDG_DATA_HOME:-$HOME/.local/share}/tangleroot"
if ! why="$(mkdir -p "$data" 2>&1)"; then
    exec "$game" "$@" --cannot-start "cannot make the folder $data (${why##*: })"
fi
if [ ! -e "$data/assets" ] || [ -L "$data/assets" ]; then
    if ! why="$(ln -sfn "$(readlink -f "$prefix/share/tangleroot/assets")" "$data/assets" 2>&1)"; then
        exec "$game" "$@" --cannot-start "cannot link the pictures into $data (${why##*: })"
    fi
fi
cd "$data" 2>/dev/null || exec "$game" "$@" --cannot-start "cannot enter the folder $data"
exec "$game" "$@"
