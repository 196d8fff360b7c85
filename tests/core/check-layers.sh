#!/usr/bin/env bash
# check-layers.sh CORE_DIR QTWIDGETS_INCLUDE_DIR
# Fails when a file under CORE_DIR (src/core) includes a header of the GUI
# layer ("gui/...") or any header of the Qt Widgets module (every name in
# QTWIDGETS_INCLUDE_DIR, with or without the "QtWidgets/" prefix). The core
# library must build and run without a window.
set -euo pipefail
core=${1:?core directory}
widgets=${2:?Qt Widgets include directory}
[ -d "$core" ] || { echo "no such directory: $core" >&2; exit 2; }
[ -f "$widgets/QWidget" ] || { echo "not the Qt Widgets include directory: $widgets" >&2; exit 2; }

found=0
checked=0
while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    text=${rest#*:}
    [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*[\<\"]([^\>\"]+)[\>\"] ]] || continue
    name=${BASH_REMATCH[1]}
    checked=$((checked + 1))
    why=
    if [[ $name =~ (^|/)gui/ ]]; then
        why="a header of the GUI layer"
    elif [[ $name == QtWidgets || $name == QtWidgets/* ]]; then
        why="a Qt Widgets header"
    elif [ -e "$widgets/$name" ]; then
        why="a Qt Widgets header"
    fi
    if [ -n "$why" ]; then
        echo "$file:$line: includes $name, $why" >&2
        found=1
    fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' "$core")

if [ "$checked" -eq 0 ]; then
    echo "no includes found under $core" >&2
    exit 2
fi
if [ "$found" -ne 0 ]; then
    echo "src/core must not depend on the GUI layer or on Qt Widgets" >&2
    exit 1
fi
echo "$checked includes under $core checked: none from the GUI layer or Qt Widgets"
