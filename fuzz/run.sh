#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and fuzzes each in turn.
#
#   fuzz/run.sh SECONDS [TARGET...]
#
# SECONDS is the fuzzing time of each target; the targets default to every
# fuzz/fuzz_<name>.cpp (params, tags, dataset, network, checkpoint, runlog,
# run, csv, scaling). Each target starts from a copy of its seed corpus
# (fuzz/corpus/<name>) in a scratch folder, so the committed corpus never
# grows by itself. A target stops at its
# first crash, leak, timeout (-timeout per input), memory excess
# (-rss_limit_mb / -malloc_limit_mb) or sanitizer report: the offending input
# is copied to fuzz-artifacts/<name>/ at the top of the repository, the end of
# the fuzzer's log is printed, the other targets still run, and the script
# exits non-zero. The summary gives each target's executions and the
# coverage reached (libFuzzer's cov: and ft:).
#
# Environment: CXX (default clang++-14), FUZZ_BUILD (build folder, default
# build-fuzz), FUZZ_TIMEOUT (seconds per input, default 5), FUZZ_RSS_MB
# (default 2048), FUZZ_MAX_LEN (bytes per input, default 8192), FUZZ_SEED (the
# fuzzer's random seed; unset, libFuzzer picks one per run).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:?usage: fuzz/run.sh SECONDS [TARGET...]}"
shift
build="${FUZZ_BUILD:-$root/build-fuzz}"
timeout_s="${FUZZ_TIMEOUT:-5}"
rss_mb="${FUZZ_RSS_MB:-2048}"
max_len="${FUZZ_MAX_LEN:-8192}"
seed_args=()
if [ -n "${FUZZ_SEED:-}" ]; then seed_args=(-seed="$FUZZ_SEED"); fi

if [ "$#" -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for src in "$root"/fuzz/fuzz_*.cpp; do
    name="$(basename "$src" .cpp)"
    targets+=("${name#fuzz_}")
  done
fi

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="${CXX:-clang++-14}" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/quill-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ] && command -v llvm-symbolizer-14 >/dev/null; then
  export ASAN_SYMBOLIZER_PATH="$(command -v llvm-symbolizer-14)"
fi

status=0
passed=0
failed=0
summary=()
for t in "${targets[@]}"; do
  work="$scratch/$t"
  mkdir -p "$work/corpus" "$work/artifacts" "$work/tmp"
  if [ "$t" = run ]; then
    # Whole-run seeds are folders of files; the target takes them packed.
    for seed in "$root/fuzz/corpus/run"/*; do
      if [ -d "$seed" ]; then
        "$root/fuzz/pack_run.sh" "$seed" >"$work/corpus/$(basename "$seed")"
      else
        cp "$seed" "$work/corpus/"
      fi
    done
  elif [ -d "$root/fuzz/corpus/$t" ]; then
    cp -r "$root/fuzz/corpus/$t/." "$work/corpus/"
  fi
  case "$t" in
    params) cp "$root/fuzz/dict/params.dict" "$work/dict" ;;
    run) cat "$root/fuzz/dict/params.dict" "$root/fuzz/dict/blocks.dict" >"$work/dict" ;;
    csv) cp "$root/fuzz/dict/csv.dict" "$work/dict" ;;
    scaling) cat "$root/fuzz/dict/csv.dict" "$root/fuzz/dict/scaling.dict" >"$work/dict" ;;
    *) cp "$root/fuzz/dict/blocks.dict" "$work/dict" ;;
  esac
  echo "=== fuzz_$t: ${seconds}s"
  start=$(date +%s)
  set +e
  TMPDIR="$work/tmp" "$build/fuzz_$t" -max_total_time="$seconds" -timeout="$timeout_s" \
    -rss_limit_mb="$rss_mb" -malloc_limit_mb="$rss_mb" -max_len="$max_len" \
    -dict="$work/dict" -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
    "${seed_args[@]}" "$work/corpus" >"$work/log" 2>&1
  rc=$?
  set -e
  elapsed=$(( $(date +%s) - start ))
  # The last status line carries the totals: #runs, cov:, ft:, corp:.
  last="$(grep -E '^#[0-9]+' "$work/log" | tail -n 1 || true)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)"
  line="fuzz_$t: rc=$rc ${elapsed}s runs=${runs:-?} ${last#*	}"
  summary+=("$line")
  echo "$line"
  if [ "$rc" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:' "$work/log"; then
    status=1
    failed=$((failed + 1))
    tail -n 60 "$work/log"
    if compgen -G "$work/artifacts/*" >/dev/null; then
      mkdir -p "$root/fuzz-artifacts/$t"
      cp "$work/artifacts/"* "$root/fuzz-artifacts/$t/"
      echo "inputs kept in fuzz-artifacts/$t/:"
      ls "$root/fuzz-artifacts/$t/"
    fi
  else
    passed=$((passed + 1))
  fi
done

echo "=== fuzz summary"
printf '%s\n' "${summary[@]}"
echo "fuzz: $passed passed, $failed failed"
exit "$status"
