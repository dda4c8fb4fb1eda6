#!/usr/bin/env bash
# The statistics report as a reader sees it: a report of a seeded store rendered by headless Chromium,
# then checked: the screenshot is a picture of a real page (not blank), the page holds no script and no
# external reference, and every chart's SVG parses as XML.
#   tools/check-report.sh BUILD_DIR [SCREENSHOT]    (SCREENSHOT: where to keep the picture)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bin/seed_stats_store" "$work/records.sqlite" 3000 1
"$build/bin/veltrin-cli" records report --records "sqlite:$work/records.sqlite" --html "$work/report.html" >/dev/null
# A fresh profile, no sandbox (the check may run as root), no GPU; bounded in time.
timeout 120 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$work/profile" \
    --window-size=1400,1800 --screenshot="$work/report.png" "file://$work/report.html" >/dev/null 2>&1

python3 - "$work/report.html" "$work/report.png" <<'PY'
import re, struct, sys, xml.etree.ElementTree as ET
html = open(sys.argv[1], encoding="utf-8").read()
for absent in ("<script", "src=", "href=", "url(", "@import"):
    assert absent not in html.lower(), "the report holds " + absent
charts = re.findall(r"<svg.*?</svg>", html, re.S)
assert len(charts) >= 2, "no charts in the report"
for chart in charts:
    ET.fromstring(chart)  # raises on a chart that does not parse
png = open(sys.argv[2], "rb").read()
assert png[:8] == b"\x89PNG\r\n\x1a\n", "the screenshot is not a PNG"
width, height = struct.unpack(">II", png[16:24])
assert (width, height) == (1400, 1800), "screenshot of %dx%d" % (width, height)
# A blank page compresses to almost nothing; tables and charts do not.
assert len(png) > 60000, "the screenshot is %d bytes: the page did not render" % len(png)
print("report: %d charts parsed, %d bytes of page, screenshot %dx%d of %d bytes" % (len(charts), len(html), width, height, len(png)))
PY
if [ -n "${2:-}" ]; then
    cp "$work/report.png" "$2"
fi
