#!/bin/bash
# Runs a test executable from a copy in a fresh temporary folder, which then serves as its
# application directory: "paintings" and "stdlib.js" are made there and nowhere else.
#   run-from-copy.sh [--with PROGRAM]... TEST_EXECUTABLE [test arguments...]
# Each PROGRAM named with --with (the renderer) is copied beside it, as it is installed.
set -u
companions=()
while [ $# -gt 0 ] && [ "$1" = "--with" ]; do
    companions+=("$2")
    shift 2
done
binary=$1
shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/pictoloom-test.XXXXXX")
trap 'chmod -R u+w "$dir" 2>/dev/null; rm -rf "$dir"' EXIT
cp "$binary" "${companions[@]}" "$dir/"
"$dir/$(basename "$binary")" "$@"
