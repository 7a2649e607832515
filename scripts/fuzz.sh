#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang under the address and
# undefined-behaviour sanitizers and runs each for a bounded time, starting
# from its seed corpus in fuzz/corpus. Fails on any crash, leak, sanitizer
# report, failed check, slow handler or timeout; prints each target's
# executions per second.
#
#   scripts/fuzz.sh                 every target, ONDRIX_FUZZ_SECONDS (30) each
#   scripts/fuzz.sh serial_line     one target
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${ONDRIX_FUZZ_SECONDS:-30}
build_dir=${ONDRIX_BUILD_DIR:-build}-fuzz
targets=("$@")
if ((${#targets[@]} == 0)); then targets=(serial_line store_files image_codecs); fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DONDRIX_WITH_QT=OFF \
  -DONDRIX_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build_dir" --target "${targets[@]/#/fuzz_}"

# Leaks count as failures; a smaller quarantine keeps the allocator from
# faulting in fresh pages on every input.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=64}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
for t in "${targets[@]}"; do
  # New inputs go to a working corpus in the build directory; the seeds in
  # the repository are only read. Each run starts from the seeds alone: a
  # corpus grown over earlier runs would take the whole time just to replay.
  work="$build_dir/fuzz-run/$t"
  rm -rf "$work"
  artifacts="$build_dir/fuzz-artifacts/$t"
  log="$build_dir/fuzz-$t.log"
  mkdir -p "$work" "$artifacts"
  dict=()
  if [[ -f fuzz/$t.dict ]]; then dict=(-dict="fuzz/$t.dict"); fi
  rc=0
  "$build_dir/bin/fuzz_$t" "${dict[@]}" -max_total_time="$seconds" -timeout=25 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work" "fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
  # Reports are fatal by the build flags; a report that still let the run go
  # on fails it as well.
  if ((rc == 0)) && grep -qE 'runtime error:|ERROR: (Address|Leak)Sanitizer' "$log"; then rc=1; fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  execs=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if ((rc != 0)); then
    echo "fuzz_$t: FAILED (exit $rc); input and report in $artifacts, $log:"
    grep -E 'fuzz check failed|ERROR: |runtime error|SUMMARY' "$log" | head -20 || true
    status=1
  else
    extra=$(grep -E '^worst handler' "$log" || true)
    echo "fuzz_$t: ${execs:-?} exec/s, ${runs:-?} runs in ${took:-?} s${extra:+; $extra}"
  fi
done
exit $status
