#!/usr/bin/env bash
# Packs a whole-run seed folder (fuzz/corpus/run/<name>/) into one input of
# the run fuzz target, on standard output:
#
#   fuzz/pack_run.sh fuzz/corpus/run/xor_tournament > xor_tournament.run
#
# The input is the parameter file (params.txt) followed by every other file
# of the folder, each introduced by a marker line "%%% <file name>". The run
# target writes each section back as a file of that name and runs on them.
set -euo pipefail
dir="${1:?usage: fuzz/pack_run.sh FOLDER}"
cat "$dir/params.txt"
for f in "$dir"/*; do
  name="$(basename "$f")"
  [ "$name" = params.txt ] && continue
  printf '\n%%%%%% %s\n' "$name"
  cat "$f"
done
