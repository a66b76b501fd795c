#!/bin/sh
# Starts Tangleroot in the player's own data folder, where it keeps save.json
# ($XDG_DATA_HOME/tangleroot, by default ~/.local/share/tangleroot). The game
# reads assets/ from its working folder: a link there points at the installed
# pictures and font.
set -e
prefix="$(dirname "$(readlink -f "$0")")/.."
data="${XDG_DATA_HOME:-$HOME/.local/share}/tangleroot"
mkdir -p "$data"
if [ ! -e "$data/assets" ] || [ -L "$data/assets" ]; then
    ln -sfn "$(readlink -f "$prefix/share/tangleroot/assets")" "$data/assets"
fi
cd "$data"
exec "$prefix/lib/tangleroot/tangleroot" "$@"
