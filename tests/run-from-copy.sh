#!/bin/bash
# Runs a test executable from a copy in a fresh temporary folder, which then serves as its
# application directory: "paintings" and "stdlib.js" are made there and nowhere else.
set -u
binary=$1
shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/pictoloom-test.XXXXXX")
trap 'chmod -R u+w "$dir" 2>/dev/null; rm -rf "$dir"' EXIT
cp "$binary" "$dir/"
"$dir/$(basename "$binary")" "$@"
