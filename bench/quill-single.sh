#!/bin/sh
# Runs Quill on a parameter file with "Precision = single" added, so that
# ../shared/bench/compare.py (which runs BINARY params.txt) times single
# precision:
#
#   /usr/bin/python3 ../shared/bench/compare.py bench/quill-single.sh --presets S,M,L
#
# QUILL names the program (default: build/Quill beside this folder). The
# parameter file is copied to a temporary file with the key added; its paths
# stay relative to the working directory, as Quill reads them.
here=$(cd "$(dirname "$0")" && pwd)
quill=${QUILL:-$here/../build/Quill}
if [ $# -ne 1 ]; then
  echo "usage: $0 parameter.file" >&2
  exit 2
fi
params=$(mktemp "${TMPDIR:-/tmp}/quill-single.XXXXXX") || exit 1
trap 'rm -f "$params"' EXIT
{ cat "$1" && printf '\nPrecision = single\n'; } > "$params" || exit 1
"$quill" "$params"
