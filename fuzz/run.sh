#!/usr/bin/env bash
# fuzz/run.sh BUILD-DIR xlsx|xls|csv SECONDS [more libFuzzer options]
# Seeds the corpus from tests/data/workbooks and runs one target on one core.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"; kind="$2"; seconds="$3"; shift 3
corpus="$build/fuzz-corpus"
"$build/fuzz/fuzz_seeds" "$here/tests/data/workbooks" "$corpus/xlsx" "$corpus/xls"
mkdir -p "$corpus/csv"
cp "$here"/tests/data/workbooks/*.csv "$corpus/csv/"
mkdir -p "$build/fuzz-findings/$kind"
exec "$build/fuzz/fuzz_$kind" "$corpus/$kind" -max_total_time="$seconds" \
  -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$build/fuzz-findings/$kind/" -print_final_stats=1 "$@"
