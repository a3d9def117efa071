#!/usr/bin/env bash
# Builds the project with a sanitizer into a folder of its own and runs the whole suite there.
#   tools/sanitize.sh address [ctest arguments...]   AddressSanitizer and UndefinedBehaviorSanitizer,
#                                                    into build-asan/
#   tools/sanitize.sh thread  [ctest arguments...]   ThreadSanitizer, into build-tsan/
# The suppressions, each with its reason, are tests/lsan.supp and tests/tsan.supp. A finding ends
# the process that had it with an error and fails the run; the last lines give the counts.
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

# Each process writes its findings to a file of its own there (tests/CMakeLists.txt), so that the
# program's and the simulator's are counted too, whether or not a test shows their output.
reports_dir="$dir/sanitizer-reports"
rm -rf "$reports_dir"
mkdir -p "$reports_dir"

log="$dir/sanitize-$kind.log"
status=0
xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "$@" 2>&1 | tee "$log" || status=$?

# The counts: tests run and failed (above), and the findings, each printed with the process it came from.
reports=0
for file in "$reports_dir"/*; do
    [ -e "$file" ] || continue
    { echo "---- $file"; cat "$file"; } | tee -a "$log"
    found=$(grep -cE "^(==[0-9]+==ERROR: |WARNING: ThreadSanitizer)|runtime error: " "$file" || true)
    reports=$((reports + found))
done
echo "sanitizer ($kind): $reports reports; log in $log"
if [ "$reports" -gt 0 ]; then
    status=1
fi
exit "$status"
