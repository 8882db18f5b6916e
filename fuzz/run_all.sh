#!/bin/sh
# Runs every built libFuzzer target for a bounded time.
# Usage: fuzz/run_all.sh SECONDS BUILD_DIR
# Each target gets a fresh temporary corpus; crash inputs are kept in
# BUILD_DIR/fuzz/artifacts/. Exits non-zero when any target fails.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 SECONDS BUILD_DIR" >&2
    exit 2
fi
seconds=$1
build=$2
artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"

status=0
count=0
for target in "$build"/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    count=$((count + 1))
    name=$(basename "$target")
    corpus=$(mktemp -d)
    echo "== $name: ${seconds}s"
    if "$target" -max_total_time="$seconds" -timeout=5 \
        -artifact_prefix="$artifacts/$name-" "$corpus" >"$corpus.log" 2>&1; then
        tail -n 2 "$corpus.log"
    else
        echo "!! $name failed; last output:"
        tail -n 40 "$corpus.log"
        status=1
    fi
    rm -rf "$corpus" "$corpus.log"
done

if [ "$count" -eq 0 ]; then
    echo "no fuzz targets found in $build/fuzz (configure with -DLEXAR_FUZZ=ON)" >&2
    exit 1
fi
exit $status
