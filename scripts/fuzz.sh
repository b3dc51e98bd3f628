#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time, each on a
# working corpus made from fuzz/corpus/<target> (seeds written for fuzzing),
# our examples and schemas, and the real files the tests
# read (installed by scripts/install-deps.sh), as many at once as there are
# cores. A finding ends the run with the target's report and a non-zero status.
#   scripts/fuzz.sh BUILD_DIR SECONDS
# FUZZ_SEED fixes libFuzzer's random seed (CI: 1, so that a run repeats);
# 0 or unset: a new one each run.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
dtd=/usr/share/xml/w3c-sgml-lib/schema/dtd

seed() {  # seed NAME FILES...: the working corpus of a target
  local dir="$build/corpus/$1"
  shift
  mkdir -p "$dir"
  cp -n "$root/fuzz/corpus/$(basename "$dir")"/* "$dir"/ 2>/dev/null || true
  for f in "$@"; do [[ -f $f ]] && cp -n "$f" "$dir/real-$(basename "$f")"; done
  echo "$dir"
}

cores=$(nproc 2>/dev/null || echo 1)
pids=() names=()

run() {  # run TARGET CORPUS MAX_LEN: in the background, at most one per core
  while (( $(jobs -rp | wc -l) >= cores )); do wait -n || true; done
  echo "fuzz: $1 for ${seconds}s"
  (cd "$build" && exec "bin/$1" -max_total_time="$seconds" -seed="${FUZZ_SEED:-0}" -rss_limit_mb=2048 \
     -max_len="$3" -print_final_stats=1 "$2" >"$build/fuzz-$1.log" 2>&1) &
  pids+=($!) names+=("$1")
}

ex="$root/examples"
run fuzz_markup_parser "$(seed markup /usr/share/doc/libjs-underscore/index.html \
  /usr/share/doc/libxslt1-dev/html/APIchunk0.html "$ex/contact.html" "$ex/index.html" "$ex/typing.html" \
  "$ex/default.aspx" "$ex/deck.wml" "$ex/report.xsl")" 20000
run fuzz_css_parser "$(seed css "$ex/style/site.css" "$ex/style/typing.css")" 20000
run fuzz_dtd_reader "$(seed dtd "$dtd/REC-html401-19991224/strict.dtd" "$dtd/REC-xhtml11-20101123/xhtml11.dtd" \
  "$dtd/REC-SVG-20010904/svg10.dtd")" 40000
run fuzz_xsd_reader "$(seed xsd "$root/schemas/resxschema.xsd" "$root/schemas/asp_directives.xsd" \
  "$ex/xsd/asp.xsd")" 40000
run fuzz_lsp_server "$(seed lsp)" 4096

failed=0
for i in "${!pids[@]}"; do
  log="$build/fuzz-${names[$i]}.log"
  if wait "${pids[$i]}"; then
    grep -E "^stat::number_of_executed_units" "$log" | sed "s/^/  ${names[$i]}: /"
  else
    tail -60 "$log"
    echo "fuzz: ${names[$i]} found a problem (log: $log)" >&2
    failed=1
  fi
done
(( failed == 0 )) || exit 1
echo "fuzz: no findings"
