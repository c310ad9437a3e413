#!/bin/bash
# Builds Pictoloom, installs it into ~/Pictoloom (beside your paintings and stdlib.js) and starts it.
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
source "$source_dir/scripts/packages.sh"
bash "$source_dir/scripts/install-deps.sh" "${build_packages[@]}"

build_dir="$source_dir/build"
install_dir="${PICTOLOOM_HOME:-$HOME/Pictoloom}"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DPICTOLOOM_BUILD_TESTS=OFF > /dev/null
cmake --build "$build_dir" --target pictoloom pictoloom-render -j "$(nproc)"

mkdir -p "$install_dir/paintings"
# The window runs every render in pictoloom-render, which it finds beside itself.
install -m 755 "$build_dir/pictoloom" "$build_dir/pictoloom-render" "$install_dir/"
# Examples and the starter library are copied once; your own files are never replaced.
for example in "$source_dir"/examples/paintings/*.js; do
    [ -e "$example" ] || continue
    [ -e "$install_dir/paintings/$(basename "$example")" ] || cp "$example" "$install_dir/paintings/"
done
[ -e "$install_dir/stdlib.js" ] || cp "$source_dir/examples/stdlib.js" "$install_dir/stdlib.js"

exec "$install_dir/pictoloom"
