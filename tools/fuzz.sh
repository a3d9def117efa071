#!/usr/bin/env bash
# Builds the fuzz programs with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) into
# build-fuzz and runs each for SECONDS (default 60) on its corpus, then prints per target the
# executions, the coverage reached and the crashes, leaks and timeouts found.
#   tools/fuzz.sh [SECONDS] [TARGET...]      e.g. tools/fuzz.sh 600 stream handshake
# FUZZ_NO_BUILD=1 skips the build step (for a second run beside one that built).
# Finds land in build-fuzz/finds/<target>/; a fixed one goes to fuzz/regressions/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < <(ls fuzz/corpus)
fi

if [ -z "${FUZZ_NO_BUILD:-}" ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVADIZEDE_FUZZ=ON >/dev/null
    cmake --build build-fuzz -j"${FUZZ_BUILD_JOBS:-2}" --target "${targets[@]/#/fuzz_}" >build-fuzz/build.log 2>&1 \
        || { tail -30 build-fuzz/build.log; exit 1; }
fi

# Inputs larger than this teach the fuzzer little and cost much; the stream needs whole pictures.
max_len() { [ "$1" = stream ] && echo 16384 || echo 4096; }

failed=0
summary=()
for t in "${targets[@]}"; do
    work=build-fuzz/corpus/$t
    finds=build-fuzz/finds/$t
    log=build-fuzz/logs/$t.log
    mkdir -p "$work" "$finds" "$(dirname "$log")"
    dict=()
    [ -f "fuzz/dict/$t.dict" ] && dict=(-dict="fuzz/dict/$t.dict")
    # Finds of earlier runs stay in the folder until moved to the regressions: count only this run's.
    started=build-fuzz/logs/$t.started
    touch "$started"
    start=$(date +%s)
    # New inputs go into the first folder only: the shipped seeds stay as they are.
    set +e
    "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$t")" \
        -print_final_stats=1 -artifact_prefix="$finds/" "${dict[@]}" "$work" "fuzz/corpus/$t" >"$log" 2>&1
    rc=$?
    set -e
    ran=$(( $(date +%s) - start ))
    execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    count() { find "$finds" -type f -name "$1-*" -newer "$started" | wc -l; }
    new=$(find "$finds" -type f -newer "$started" | wc -l)
    line=$(printf '%-11s %6ss %12s execs  cov %6s  ft %6s  crashes %s  leaks %s  timeouts %s  ooms %s  exit %s' \
        "$t" "$ran" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$(count crash)" "$(count leak)" "$(count timeout)" \
        "$(count oom)" "$rc")
    summary+=("$line")
    echo "$line"
    if [ "$rc" -ne 0 ] || [ "$new" -gt 0 ]; then
        failed=1
        grep -m1 -A12 'ERROR: \|runtime error\|target:' "$log" || tail -20 "$log"
    fi
done
echo
echo "target        time        executions  coverage"
printf '%s\n' "${summary[@]}"
exit $failed
