#!/bin/sh
# The compiler launcher of every target of the layers (cmake/Layers.cmake):
#   layer-guard.sh <cmake> <view file> <compile command...>
# Compiles, then has LayerGuard.cmake check the files the compiler opened against the view.
cmake=$1
view=$2
shift 2
"$@" || exit
exec "$cmake" -DVIEW="$view" -P "${0%/*}/LayerGuard.cmake" -- "$@"
