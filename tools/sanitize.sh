#!/usr/bin/env bash
# Builds the project with a sanitizer into a folder of its own and runs the whole suite there.
#   tools/sanitize.sh address [ctest arguments...]   AddressSanitizer and UndefinedBehaviorSanitizer,
#                                                    into build-asan/
#   tools/sanitize.sh thread  [ctest arguments...]   ThreadSanitizer, into build-tsan/
# The suppressions, each with its reason, are tests/lsan.supp and tests/tsan.supp. A report of
# either sanitizer fails the test it happened in. The last lines give the counts.
set -euo pipefail
cd "$(dirname "$0")/.."

kind="${1:-}"
case "$kind" in
address) dir=build-asan ;;
thread) dir=build-tsan ;;
*)
    echo "usage: tools/sanitize.sh address|thread [ctest arguments...]" >&2
    exit 2
    ;;
esac
shift

tools/deps.sh
cmake -S . -B "$dir" -DVADIZEDE_SANITIZE="$kind" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)"

# A finding ends the program with an error, so that CTest counts it as a failure; undefined
# behaviour, which only prints by default, is made to stop as well.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:halt_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

log="$dir/sanitize-$kind.log"
status=0
xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "$@" 2>&1 | tee "$log" || status=$?

# The counts: tests run and failed, and the sanitizer reports seen in their output.
reports=$(grep -cE "^(==[0-9]+==ERROR: |SUMMARY: (AddressSanitizer|UndefinedBehaviorSanitizer|ThreadSanitizer)|WARNING: ThreadSanitizer)|runtime error: " "$log" || true)
echo "sanitizer ($kind): $reports reports; log in $log"
exit "$status"
