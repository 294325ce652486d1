#!/usr/bin/env bash
# Beside the engine's bulk load, GDAL's converter writing the same 100,000
# rows into a dBASE table, in the same run; then GDAL reads back tables the
# engine wrote (bulk loaded, edited, packed) and compares what it sees.
# Installs gdal-bin when missing (only here: the build and tests do not need it).
# Usage: bench/compare_gdal.sh [build folder]
set -euo pipefail
build=${1:-build}
stop() { echo "compare_gdal: $*" >&2; exit 1; }
trap 'echo "compare_gdal: stopped at line $LINENO (a command failed)" >&2' ERR
[ -x "$build/bench/bench_db" ] || stop "$build/bench/bench_db is missing: run \`make bench\` first (it builds the benchmarks this compares)"
if ! command -v ogr2ogr >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -q || stop "apt-get update failed: GDAL cannot be installed"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends gdal-bin \
        || stop "gdal-bin could not be installed"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/rows.csv" <<'PY'
import sys
with open(sys.argv[1], 'w', encoding='utf-8') as f:
    f.write('ITEM_4,ITEM_DQDM,ITEM_187,ITEM_180\n')
    for i in range(100000):
        f.write('%d%06d,.,%d,张三\n' % (2005 - i % 5, i + 1, i))
PY
echo '"String(10)","String(3)","Real(20.6)","String(20)"' > "$work/rows.csvt"
start=$(date +%s.%N)
ogr2ogr -f "ESRI Shapefile" -lco ENCODING=CP936 "$work/gdal.dbf" "$work/rows.csv"
end=$(date +%s.%N)
python3 -c "import sys; s=float(sys.argv[2])-float(sys.argv[1]); print('ogr2ogr, 100000 rows into a .dbf: %.0f ms, %.0fk rows/s' % (s*1000, 100/s))" "$start" "$end"
"$build/bench/bench_db" --benchmark_filter='LoadScratch' | grep BM_

# What the engine wrote, as GDAL reads it.
mkdir -p "$work/samples"
"$build/bench/bench_db" --write-samples "$work/samples"
for t in cgwcr kjcg; do
    f=$(ls "$work/samples" | grep -i "^$t.dbf$")
    count=$(ogrinfo -ro -so -al "$work/samples/$f" | sed -n 's/^Feature Count: //p')
    echo "ogrinfo $f: $count rows"
done
ogrinfo -ro -al -oo ENCODING=CP936 "$work/samples/$(ls "$work/samples" | grep -i '^kjcg.dbf$')" -where "ITEM_3 LIKE '改写的名称1%'" \
    | grep -E "ITEM_3 \(|ITEM_4 \(" | head -4
# Python's dbf package (Debian's python3-dbf), when present, reads the memos.
if /usr/bin/python3 -c "import dbf" 2>/dev/null; then
    /usr/bin/python3 - "$work/samples/$(ls "$work/samples" | grep -i '^kjcg.dbf$')" <<'PY'
import sys, dbf
t = dbf.Table(sys.argv[1], codepage='cp936')
t.open()
memos = sum(1 for r in t if r.item_13 and '改写的备注' in r.item_13)
print('python dbf %s: %d rows, %d rewritten memos read' % (sys.argv[1].split('/')[-1], len(t), memos))
t.close()
PY
fi
