#!/usr/bin/env bash
# Renders the web page export of a sample snippet (its code, then its comment) in headless
# Chromium and writes a PNG of each, to be looked at: the comment right to left with its full
# stop at the left end, the code left to right in a fixed-pitch face with every indent, the
# snippet's title. Also checks the page as Chromium parsed it: one block per line, each with
# its direction. Needs Debian's chromium; the pages come from the export core (bench_saveas).
# Usage: scripts/check-html-export.sh [outdir]   (build first: cmake --build build --target bench_saveas)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-shots/export}")
mkdir -p "$out"
tool="${BUILD_DIR:-build}/bench/export/bench_saveas"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
chrome() {
  chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$profile" "$@" 2>/dev/null
}
status=0
for tab in code learn; do
  page="$out/$tab.html"
  "$tool" --page "$page" "$tab"
  chrome --window-size=900,420 --screenshot="$out/$tab.png" "file://$page" >/dev/null
  dom=$(chrome --dump-dom "file://$page")
  lines=$(grep -o '<DIV DIR' "$page" | wc -l)
  want=$([ "$tab" = code ] && echo ltr || echo rtl)
  blocks=$(grep -o "<div dir=\"$want\"" <<<"$dom" | wc -l)
  title=$(grep -o '<title>[^<]*</title>' <<<"$dom")
  echo "$tab: $blocks blocks with dir=$want of $lines, $title -> $out/$tab.png"
  if [ "$blocks" -ne "$lines" ] || [ "$title" = "<title></title>" ]; then status=1; fi
done
exit $status
