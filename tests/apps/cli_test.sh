#!/usr/bin/env bash
# End-to-end checks of the masscal program: masscal_cli_test.sh PROGRAM SOURCE_DIR
set -u
BIN=$1
SRC=$2
EX=$SRC/examples
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
export MASSCAL_SETTINGS=$T/settings.ini
: >"$MASSCAL_SETTINGS"
failures=0
check() {  # name, condition result
    if [ "$2" -eq 0 ]; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
# expect NAME CODE STDERR-PATTERN STDOUT-PATTERN ARGS...: the exit code, the one
# error line (when a pattern is given) and a stdout line ("--": none).
expect() {
    local name=$1 code=$2 pat=$3 out=$4
    shift 4
    "$BIN" "$@" >"$T/out" 2>"$T/err"
    local rc=$?
    local good=0
    [ "$rc" -eq "$code" ] || good=1
    if [ -n "$pat" ]; then
        grep -q -- "$pat" "$T/err" || good=1
        [ "$(wc -l <"$T/err")" -eq 1 ] || good=1
    fi
    [ "$out" = "--" ] || grep -q -- "$out" "$T/out" || good=1
    check "$name (rc $rc)" $good
    [ $good -eq 0 ] || { cat "$T/err"; }
}
# json NAME PYTHON-ASSERTIONS: checks on the last output as j.
json() {
    python3 -c "import json,sys; j=json.load(open(sys.argv[1])); s=j.get('statistics'); $2" "$T/out"
    check "$1" $?
}

# The examples calibrate with the expected RMS.
expect "tof example" 0 "" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --json
python3 - "$T/out" <<'PY'
import json, sys
j = json.load(open(sys.argv[1]))
for k in ("data", "reference", "function", "order", "mass_function", "error_function", "matches", "statistics",
          "time_of_flight", "messages"):
    assert k in j, k
for m in j["matches"]:
    assert set(m) == {"reference", "measured", "error_mda", "error_ppm", "residual"}, m
    assert abs((m["measured"] - m["reference"]) * 1000 - m["error_mda"]) < 1e-2
s = j["statistics"]
assert s["matches"] == len(j["matches"]) >= 15, s
assert 0.5 < s["rms_residual_ppm"] < 5.0, s
assert j["time_of_flight"] is True
rms = (sum(m["residual"] ** 2 for m in j["matches"]) / len(j["matches"])) ** 0.5
assert abs(rms - s["rms_residual"]) < 1e-6, (rms, s)
PY
check "tof json shape and RMS" $?
expect "quad example" 0 "" -- calibrate "$EX/nai_quad.txt" "$EX/nai.ref" --order 1 --json
json "quad RMS" "assert s['matches']>=10 and s['rms_residual_ppm']<100, s"
expect "profile mzML example" 0 "" -- calibrate "$EX/nai_profile.mzML" "$EX/nai.ref" --json
json "profile RMS" "assert s['matches']>=15 and s['rms_residual_ppm']<10, s"

# Table output.
expect "table" 0 "" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref"
grep -q "error ppm" "$T/out" && grep -q "mass function" "$T/out" && grep -q "RMS" "$T/out"
check "table has matches, polynomial, statistics" $?

# Report and graphs.
expect "report" 0 "" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --report "$T/r.pdf" --png "$T/g.png"
head -c 4 "$T/r.pdf" | grep -q "%PDF" && head -c 8 "$T/g.png" | grep -q "PNG"
check "report is a PDF, graphs a PNG" $?
pdftotext -f 1 -l 1 -layout "$T/r.pdf" - | grep -q "Calibration Report - nai_tof.txt"
check "the report's title defaults to the data file's name" $?
expect "title and subtitle" 0 "" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --report "$T/t.pdf" \
    --title "NaI run 7" --subtitle "Instrument 2, positive ion mode"
pdftotext -f 1 -l 1 -layout "$T/t.pdf" "$T/t.txt"
grep -q "Calibration Report - NaI run 7 .*Page 1 of" "$T/t.txt" && grep -q "^ *Instrument 2, positive ion mode" "$T/t.txt"
check "title and subtitle on the first page" $?
pdftotext -layout "$T/t.pdf" - | grep -q "data: $EX/nai_tof.txt"
check "the report names the data file as given" $?
expect "title too long" 2 "title" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --title "$(printf '%0250d' 0)"

# --out keeps the other sections of an existing calibration file.
printf '[VERSION]\r\nVERSION=2\r\n[Keep]\r\nAnswer=42\r\n' >"$T/c.cal"  # a file without VERSION is old-format and replaced
expect "out tof" 0 "" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --out "$T/c.cal"
grep -q "Answer=42" "$T/c.cal" && [ "$(wc -l <"$T/c.cal")" -gt 3 ]
check "out keeps other sections (tof)" $?
printf '[Keep]\nAnswer=42\n' >"$T/q.cal"
expect "out quad" 0 "" -- calibrate "$EX/nai_quad.txt" "$EX/nai.ref" --order 1 --out "$T/q.cal"
grep -q "Answer=42" "$T/q.cal" && [ "$(wc -l <"$T/q.cal")" -gt 2 ]
check "out keeps other sections (functions)" $?

# Bad input: one line naming the file, nothing written.
expect "missing data" 2 "nope.txt" -- calibrate "$T/nope.txt" "$EX/nai.ref" --out "$T/n1.cal"
expect "missing reference" 2 "nope.ref" -- calibrate "$EX/nai_tof.txt" "$T/nope.ref" --out "$T/n2.cal"
mkdir "$T/dir.ref"
expect "unreadable reference" 2 "dir.ref" -- calibrate "$EX/nai_tof.txt" "$T/dir.ref"
printf '5000.0 100\r\n5100.0 100\r\n' >"$T/far.ref"
expect "no reference peak in range" 2 "does not contain any peaks" -- calibrate "$EX/nai_tof.txt" "$T/far.ref" --out "$T/n3.cal"
printf '# columns: mass intensity\n' >"$T/empty.txt"
expect "data without peaks" 2 "No peaks" -- calibrate "$T/empty.txt" "$EX/nai.ref" --out "$T/n4.cal"
printf '100.0 abc\n' >"$T/bad.txt"
expect "bad data line" 2 "bad.txt" -- calibrate "$T/bad.txt" "$EX/nai.ref" --out "$T/n5.cal"
expect "scan that is not there" 2 "nai_tof.txt.*no spectrum 3" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --first-scan 3
expect "function that is not there" 2 "nai_tof.txt.*function 2" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --function 2
expect "too few matches" 1 "too few matches" -- calibrate "$EX/nai_tof.txt" "$EX/csi.ref" --out "$T/n6.cal"
expect "non-numeric option" 2 "order" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --order x
expect "no verb" 2 "" --
for verb in calibrate verify "ref check" "poly text" "poly eval" "poly inverse" "params get" "params set" \
    "tof read" "tof write" "tof compare" apply recalibrate; do
    # shellcheck disable=SC2086
    expect "help of $verb prints a usage" 0 "" "Usage" $verb --help
done
! ls "$T"/n?.cal >/dev/null 2>&1
check "nothing written on failure" $?

# Other verbs.
expect "ref check lists peaks" 0 "" "22.98922" ref check "$EX/nai.ref"
expect "poly eval value" 0 "" "^3 7$" poly eval "0 1 1 + 2x^1" 3
expect "params defaults" 0 "" "PolyOrder=1" params get

# verify applies the stored calibration: the same residuals as the fit, no new fit.
expect "calibrate for verify" 0 "" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --out "$T/v.cal" --json
cp "$T/out" "$T/fit.json"
expect "verify" 0 "" -- verify "$EX/nai_tof.txt" "$EX/nai.ref" --cal "$T/v.cal" --json --report "$T/v.pdf"
# The verify report shows the residuals the stored calibration leaves and their RMS.
rms=$(python3 -c "import json,sys; print('%.3g' % json.load(open(sys.argv[1]))['statistics']['rms_residual_ppm'])" "$T/out")
pdftotext -layout "$T/v.pdf" "$T/v.txt"
grep -q "Residual left by the stored calibration.*RMS residual = $rms ppm" "$T/v.txt" &&
    grep -q "Matches after the stored calibration" "$T/v.txt"
check "verify report: residual graph and RMS" $?
python3 - "$T/fit.json" "$T/out" <<'PY'
import json, sys
fit, ver = (json.load(open(p)) for p in sys.argv[1:])
assert ver["verify"] is True and ver["mass_function"]["text"] == fit["mass_function"]["text"]
assert ver["statistics"]["matches"] == fit["statistics"]["matches"]
assert abs(ver["statistics"]["rms_residual_ppm"] - fit["statistics"]["rms_residual_ppm"]) < 0.05, ver["statistics"]
PY
check "verify reproduces the fit's residuals" $?
# A stored calibration has no band: n/a, never 0.
expect "verify identity" 0 "" -- verify "$EX/nai_tof.txt" "$EX/nai.ref" --poly "0 1 0 + 1x^1" --json
json "verify without correction shows the raw error, no band" \
    "assert s['rms_residual_ppm']>40 and s['confidence_band_ppm'] is None, s"
expect "verify table: no band" 0 "" "confidence band n/a" verify "$EX/nai_tof.txt" "$EX/nai.ref" --poly "0 1 0 + 1x^1"
expect "verify needs a calibration" 2 "needs --cal" -- verify "$EX/nai_tof.txt" "$EX/nai.ref"
expect "verify missing cal file" 2 "none.cal" -- verify "$EX/nai_tof.txt" "$EX/nai.ref" --cal "$T/none.cal"

# tof read / write / compare
expect "tof read shows the polynomial" 0 "" "segment 1: 0 5" tof read "$T/v.cal"
expect "tof write" 0 "" -- tof write "$T/v.cal" "$T/v.old"
expect "old format reads back" 0 "" "segment 1: 0 5" tof read "$T/v.old"
expect "tof write onto itself" 2 "overwrite" -- tof write "$T/v.cal" "$T/v.cal"
expect "tof compare" 0 "" -- tof compare "$T/v.cal" "$T/v.old"

# params set / get round trip; bad values are refused and nothing changes.
expect "params set" 0 "" -- params set PolyOrder=3 PeakWindow=0.25
expect "params round trip" 0 "" "PolyOrder=3" params get
grep -q "PeakWindow=0.25" "$T/out"
check "params round trip: window" $?
cp "$MASSCAL_SETTINGS" "$T/settings.before"
expect "params bad number" 2 "not a number" -- params set PolyOrder=x
expect "params bad key" 2 "unknown key" -- params set Colour=3
cmp -s "$MASSCAL_SETTINGS" "$T/settings.before"
check "refused settings leave the file alone" $?

# apply: the calibrated list needs no further correction; headers and other columns stay.
expect "apply" 0 "" -- apply "$T/v.cal" "$EX/nai_tof.txt" -o "$T/applied.txt"
diff <(grep '^#' "$EX/nai_tof.txt") <(grep '^#' "$T/applied.txt") >/dev/null &&
    diff <(grep -v '^#' "$EX/nai_tof.txt" | cut -d' ' -f2-) <(grep -v '^#' "$T/applied.txt" | cut -d' ' -f2-) >/dev/null
check "apply keeps headers and other columns" $?
expect "calibrate applied" 0 "" -- calibrate "$T/applied.txt" "$EX/nai.ref" --json
json "applied masses are calibrated" "assert s['matches']>=15 and max(abs(m['error_ppm']) for m in j['matches'])<10, j"
cp "$EX/nai_tof.txt" "$T/same.txt"
expect "apply onto its input" 2 "overwrite" -- apply "$T/v.cal" "$T/same.txt" -o "$T/same.txt"
cmp -s "$EX/nai_tof.txt" "$T/same.txt"
check "input left alone" $?
expect "apply bad list" 2 "bad.txt" -- apply "$T/v.cal" "$T/bad.txt" -o "$T/n7.txt"
expect "apply without calibration" 2 "none.cal" -- apply "$T/none.cal" "$EX/nai_tof.txt" -o "$T/n8.txt"
! ls "$T"/n7.txt "$T"/n8.txt >/dev/null 2>&1
check "apply writes nothing on failure" $?

# apply to mzML: the calibrated file needs no further correction; the input is never overwritten.
expect "calibrate profile for apply" 0 "" -- calibrate "$EX/nai_profile.mzML" "$EX/nai.ref" --out "$T/p.cal" --json
json "profile carries an error before apply" "assert max(abs(m['error_ppm']) for m in j['matches']) > 20"
expect "apply mzML reports the spectra" 0 "" "^1 spectra calibrated" apply "$T/p.cal" "$EX/nai_profile.mzML" -o "$T/applied.mzML"
grep -q 'accession="MS:1000523"' "$T/applied.mzML"
check "apply mzML writes 64-bit arrays" $?
expect "calibrate applied mzML" 0 "" -- calibrate "$T/applied.mzML" "$EX/nai.ref" --json
json "applied mzML masses are calibrated" "assert s['matches']>=15 and max(abs(m['error_ppm']) for m in j['matches'])<15, j"
cp "$EX/nai_profile.mzML" "$T/same.mzML"
expect "apply mzML onto its input" 2 "overwrite" -- apply "$T/p.cal" "$T/same.mzML" -o "$T/same.mzML"
cmp -s "$EX/nai_profile.mzML" "$T/same.mzML"
check "mzML input left alone" $?
printf '<x>' >"$T/bad.mzML"
expect "apply bad mzML" 2 "bad.mzML: not an mzML document" -- apply "$T/p.cal" "$T/bad.mzML" -o "$T/n10.mzML"
expect "apply mzML into a missing folder" 2 "cannot write" -- apply "$T/p.cal" "$EX/nai_profile.mzML" -o "$T/none/n.mzML"
! ls "$T"/n10.mzML "$T"/n10.mzML.* "$T"/none >/dev/null 2>&1
check "apply mzML writes nothing on failure" $?

# recalibrate: a run drifting from 2 to 8 ppm, two locks in every MS1 spectrum.
python3 - "$T/drift.mzML" <<'PY'
import base64, struct, sys
locks, background = [391.28429, 556.2771], [450.1234 + 50 * k for k in range(8)]
spectra = []
for i in range(40):
    t = 10.0 + 3 * i
    f = 1 + (2 + 6 * i / 39) * 1e-6
    peaks = sorted([(m * f, 1e5) for m in locks] + [(m * f, 2e4) for m in background])
    enc = lambda v: base64.b64encode(struct.pack("<%dd" % len(v), *v)).decode()
    spectra.append(
        '<spectrum index="%d" id="scan=%d" defaultArrayLength="%d">'
        '<cvParam cvRef="MS" accession="MS:1000511" name="ms level" value="1"/>'
        '<cvParam cvRef="MS" accession="MS:1000127" name="centroid spectrum"/>'
        '<scanList count="1"><scan><cvParam cvRef="MS" accession="MS:1000016" name="scan start time" value="%g" '
        'unitAccession="UO:0000010" unitName="second"/></scan></scanList><binaryDataArrayList count="2">'
        '<binaryDataArray><cvParam cvRef="MS" accession="MS:1000523" name="64-bit float"/>'
        '<cvParam cvRef="MS" accession="MS:1000576" name="no compression"/>'
        '<cvParam cvRef="MS" accession="MS:1000514" name="m/z array"/><binary>%s</binary></binaryDataArray>'
        '<binaryDataArray><cvParam cvRef="MS" accession="MS:1000523" name="64-bit float"/>'
        '<cvParam cvRef="MS" accession="MS:1000576" name="no compression"/>'
        '<cvParam cvRef="MS" accession="MS:1000515" name="intensity array"/><binary>%s</binary></binaryDataArray>'
        '</binaryDataArrayList></spectrum>' % (i, i + 1, len(peaks), t, enc([p[0] for p in peaks]),
                                               enc([p[1] for p in peaks])))
open(sys.argv[1], "w").write('<?xml version="1.0"?><mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0">'
                             '<run id="r"><spectrumList count="40">%s</spectrumList></run></mzML>' % "".join(spectra))
PY
printf '391.28429\n556.2771\n' >"$T/locks.ref"
expect "recalibrate" 0 "" "^40 of 40 spectra recalibrated" recalibrate "$T/drift.mzML" "$T/locks.ref" -o "$T/drift-out.mzML" \
    --rt-window 10 --qc-csv "$T/qc.csv" --qc-json "$T/qc.json" --drift-png "$T/drift.png" --drift-svg "$T/drift.svg"
python3 - "$T/qc.json" "$T/qc.csv" <<'PY'
import csv, json, sys
j = json.load(open(sys.argv[1]))
assert j["settings"]["model"] == "offset" and j["settings"]["rt_window_seconds"] == 10, j["settings"]
assert j["locks"] == [391.28429, 556.2771], j["locks"]
s = j["summary"]
assert s["spectra"] == s["window"] == 40 and s["observations"] == 80, s
assert s["rms_before_ppm"] > 3 and s["rms_after_ppm"] < 0.05, s
for x in j["spectra"]:
    assert x["source"] == "window" and len(x["locks"]) == 2 and abs(x["error_after_ppm"]) < 0.05, x
rows = list(csv.DictReader(open(sys.argv[2])))
assert len(rows) == 40 and rows[0]["scan"] == "1" and rows[0]["source"] == "window", rows[0]
assert abs(float(rows[39]["c0"]) - 8) < 0.05, rows[39]
PY
check "recalibrate table: JSON and CSV" $?
head -c 8 "$T/drift.png" | grep -q PNG && grep -q "<svg" "$T/drift.svg"
check "recalibrate drift pictures" $?
expect "calibrate the recalibrated run" 0 "" -- calibrate "$T/drift-out.mzML" "$T/locks.ref" --scans 40:40 --order 0 --no-gate --json
json "recalibrated run needs no correction" "assert max(abs(m['error_ppm']) for m in j['matches']) < 0.05, j"
printf '700.0\n' >"$T/absent.ref"
expect "recalibrate without locks in the run" 1 "no lock mass found within 10 ppm in any of the 40 MS1 spectra" -- \
    recalibrate "$T/drift.mzML" "$T/absent.ref" -o "$T/r1.mzML" --qc-csv "$T/r1.csv" --drift-png "$T/r1.png"
printf '391.28429\n-5\n' >"$T/negative.ref"
expect "recalibrate bad lock list" 2 "negative.ref: line 2" -- recalibrate "$T/drift.mzML" "$T/negative.ref" -o "$T/r2.mzML"
expect "recalibrate picture name" 2 "ends in .png" -- recalibrate "$T/drift.mzML" "$T/locks.ref" -o "$T/r3.mzML" --drift-png "$T/r3.svg"
expect "recalibrate a peak list" 2 "mzML files" -- recalibrate "$EX/nai_tof.txt" "$T/locks.ref" -o "$T/r4.mzML"
expect "recalibrate onto its input" 2 "" -- recalibrate "$T/drift.mzML" "$T/locks.ref" -o "$T/drift.mzML"
! ls "$T"/r?.* "$T"/.masscal-* >/dev/null 2>&1
check "recalibrate writes nothing on failure" $?

# batch: every file gets its line; a bad file never stops the others.
mkdir "$T/batch"
for i in 1 2 3 4 5; do cp "$EX/nai_tof.txt" "$T/batch/s$i.txt"; done
"$BIN" calibrate --batch --jobs 2 "$T"/batch/s*.txt "$T/bad.txt" "$T/nope.txt" "$EX/nai_quad.txt" "$EX/nai.ref" \
    >"$T/out" 2>"$T/err"
rc=$?
[ $rc -eq 2 ] && grep -q "^6 of 8 files calibrated" "$T/out" && [ "$(grep -c ' ok$' "$T/out")" -eq 6 ] &&
    [ "$(grep -c 'unreadable$' "$T/out")" -eq 2 ] && [ "$(wc -l <"$T/err")" -eq 2 ] &&
    grep -q "nope.txt: no such file" "$T/err" && ! grep -q '\[#' "$T/err"
check "batch summary, statuses and exit code (rc $rc)" $?
"$BIN" calibrate --batch --jsonl "$T"/batch/s*.txt "$T/bad.txt" "$EX/nai.ref" >"$T/out" 2>/dev/null
python3 - "$T/out" "$T/fit.json" <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
single = json.load(open(sys.argv[2]))
assert len(lines) == 6, len(lines)
assert [l["status"] for l in lines] == ["ok"] * 5 + ["unreadable"], lines
assert "bad.txt" in lines[-1]["error"] and lines[-1]["data"].endswith("bad.txt")
for l in lines[:5]:
    # Each worker's result is the one-file result.
    assert l["mass_function"]["text"] == single["mass_function"]["text"], l["mass_function"]
    assert l["statistics"] == single["statistics"]
PY
check "batch JSON lines match the single-file result" $?
# Threads share the data manager's caches: different spectra on four threads
# give exactly the lines one thread gives.
mkdir "$T/many"
for i in 0 1 2 3 4 5 6 7 8 9 10 11; do
    awk -v k="$i" '/^#/ {print; next} {$1 = sprintf("%.5f", $1 * (1 + (k - 5) * 3e-6)); print}' \
        "$EX/nai_tof.txt" >"$T/many/m$i.txt"
done
"$BIN" calibrate --batch --jsonl --jobs 1 "$T"/many/m*.txt "$EX/nai_quad.txt" "$EX/nai.ref" >"$T/one" 2>/dev/null
"$BIN" calibrate --batch --jsonl --jobs 4 "$T"/many/m*.txt "$EX/nai_quad.txt" "$EX/nai.ref" >"$T/four" 2>/dev/null
[ "$(grep -c '"status":"ok"' "$T/one")" -eq 13 ] &&
    [ "$(grep -o '"mass_function":{"coefficients":[^]]*' "$T/one" | sort -u | wc -l)" -eq 13 ] && cmp -s "$T/one" "$T/four"
check "batch on four threads gives the one-thread results" $?
"$BIN" calibrate --batch "$T/batch/s1.txt" "$EX/csi.ref" >"$T/out" 2>"$T/err"
[ $? -eq 1 ] && grep -q "not calibrated" "$T/out"
check "batch: a calibration that fails gives 1"  $?
expect "batch refuses --out" 2 "batch" -- calibrate --batch "$T/batch/s1.txt" "$EX/nai.ref" --out "$T/n9.cal"
expect "jsonl needs batch" 2 "batch" -- calibrate "$T/batch/s1.txt" "$EX/nai.ref" --jsonl
expect "one data file without batch" 2 "one data file" -- calibrate "$T/batch/s1.txt" "$T/batch/s2.txt" "$EX/nai.ref"

# Accurate-mass data: lock masses with a strong neighbour 0.39 amu from one,
# and two reference masses absent from the data with noise near them.
python3 - "$T" <<'PY'
import random, sys
t = sys.argv[1]
rng = random.Random(3)
refs = [152.0706, 195.0877, 262.6391, 322.0481, 445.12, 524.2648, 622.029, 785.8426, 922.0098, 1034.9883,
        1221.9906, 1521.9715]
open(t + "/locks.ref", "w").write("".join("%.4f 100\n" % m for m in refs))
for name, neighbour, absent in (("near", True, ()), ("absent", False, (524.2648, 922.0098))):
    peaks = []
    for m in refs:
        if m in absent:
            peaks.append((m * (1 + (578e-6 if m == absent[0] else -913e-6)), 80.0))
            continue
        peaks.append((m * (1 + 3e-6 + 1e-6 * rng.gauss(0, 1)), 1000.0 * rng.uniform(0.8, 1.2)))
        if neighbour and m == 445.12:
            peaks.append((m - 0.39, 5000.0))
    peaks += [(rng.uniform(140, 1600), rng.uniform(5, 60)) for _ in range(40)]
    with open("%s/%s.txt" % (t, name), "w") as f:
        f.write("# mass range: 140 1600\n# accurate mass: yes\n# columns: mass intensity\n")
        f.writelines("%.5f %.1f\n" % p for p in sorted(peaks))
PY
expect "accurate mass: the neighbour is not matched" 0 "" -- calibrate "$T/near.txt" "$T/locks.ref" --order 1 --json
json "accurate mass: 50 ppm tolerance by default, every lock matched" \
    "assert len(j['matches']) == 12 and max(abs(m['error_ppm']) for m in j['matches']) < 10 and j['tolerance_ppm'] == 50, j"
expect "old windows: the neighbour is refused" 1 "calibration refused: RMS residual .* 445.1200" -- \
    calibrate "$T/near.txt" "$T/locks.ref" --order 1 --window 0.5 --initial-error 2 --out "$T/g1.cal" --png "$T/g1.png"
expect "old windows: absent masses are refused" 1 "calibration refused" -- \
    calibrate "$T/absent.txt" "$T/locks.ref" --order 1 --window 0.5 --initial-error 2 --out "$T/g2.cal"
[ ! -e "$T/g1.cal" ] && [ ! -e "$T/g1.png" ] && [ ! -e "$T/g2.cal" ]
check "a refused calibration writes nothing" $?
expect "outliers rejected" 0 "" -- calibrate "$T/absent.txt" "$T/locks.ref" --order 1 --window 0.5 --initial-error 2 \
    --reject-outliers --json --report "$T/dropped.pdf"
pdftotext -layout "$T/dropped.pdf" - | grep -q "524.26.*dropped as an outlier"
check "the report lists the dropped outlier" $?
json "outlier rejection drops exactly the planted matches" "
dropped = sorted(round(d['reference'], 2) for d in j['dropped'])
assert 524.26 in dropped and set(dropped) <= {524.26, 922.01}, dropped
assert len(j['matches']) >= 10 and s['rms_residual_ppm'] < 3, s"
expect "no gate" 0 "" -- calibrate "$T/near.txt" "$T/locks.ref" --order 1 --window 0.5 --initial-error 2 --no-gate
expect "RMS limit is an option" 1 "exceeds the limit of 0.1 ppm" -- calibrate "$T/near.txt" "$T/locks.ref" --order 1 \
    --max-rms-ppm 0.1
expect "tolerance and window exclude each other" 2 "" -- calibrate "$T/near.txt" "$T/locks.ref" --tolerance-ppm 5 \
    --window 0.1

# --root-mass takes effect; the engine's own message for a reference without
# peaks in range, also for mzML.
expect "root mass" 0 "" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --root-mass --json
json "root mass fits on square roots" "assert j['mass_function']['text'].startswith('1 5 ')"
expect "mzML: reference out of range" 2 "does not contain any peaks" -- calibrate "$EX/nai_profile.mzML" "$T/far.ref"

# Real LC-MS files (read in place): what is in them, and choosing spectra.
OMS=/usr/share/doc/openms/examples
expect "info" 0 "" -- info "$OMS/BSA/BSA1.mzML" --json
python3 - "$T/out" <<'PY'
import json, sys
f = json.load(open(sys.argv[1]))["functions"]
ms1 = [x for x in f if x["ms_level"] == 1]
assert len(ms1) == 1 and ms1[0]["spectra"] == 564 and ms1[0]["scan_numbers"] == [1011, 1574], ms1
assert ms1[0]["analyser"] == "orbitrap" and ms1[0]["data"] == "centroid" and ms1[0]["data_stated"], ms1
assert sum(x["spectra"] for x in f if x["ms_level"] == 2) == 1120
assert all(len(x["precursors"]) >= 1 for x in f if x["ms_level"] == 2)
PY
check "info lists functions, levels, scans and precursors" $?
expect "info: unstated profile" 0 "" -- info "$OMS/peakpicker_tutorial_1.mzML" --json
json "profile data inferred when the file does not say" "f=j['functions'][0]; assert f['data']=='profile' and not f['data_stated'], f"
printf '391.28429 100\n593.15761 100\n667.17640 100\n' >"$T/locks.ref"
expect "calibrate by retention time" 0 "" -- calibrate "$OMS/BSA/BSA1.mzML" "$T/locks.ref" --rt 25:26min --order 1 --json
json "an RT range picks its spectra" "assert j['spectra'].startswith('spectra 1-38 of function 1') and len(j['matches'])==3, j['spectra']"
for bad in "--rt 30:20" "--ms-level 3" "--first-scan 10 --last-scan 5" "--last-scan 600" "--scans 5000:6000" \
           "--ms-level 2" "--function 4"; do
    # shellcheck disable=SC2086
    expect "bad selection $bad" 2 "BSA1.mzML: " -- calibrate "$OMS/BSA/BSA1.mzML" "$T/locks.ref" $bad --out "$T/sel.cal"
done
[ ! -e "$T/sel.cal" ]
check "bad selections write nothing" $?
printf 'm/z,ms level,charge\n391.28429,1,1\n593.15761,1,1\n667.17640,1,1\n' >"$T/locks.csv"
expect "lock-mass CSV" 0 "" -- calibrate "$OMS/BSA/BSA1.mzML" "$T/locks.csv" --first-scan 1 --order 1 --json
json "CSV lock masses are m/z, not intensities" "assert [round(m['reference'],3) for m in j['matches']]==[391.284,593.158,667.176], j['matches']"
gzip -c "$EX/nai_profile.mzML" >"$T/p.mzML.gz"
expect "gzip mzML in" 0 "" -- calibrate "$T/p.mzML.gz" "$EX/nai.ref" --out "$T/gz.cal" --json
cp "$T/out" "$T/gz.json"
expect "gzip mzML out" 0 "" -- apply "$T/gz.cal" "$T/p.mzML.gz" -o "$T/c.mzML.gz"
gunzip -t "$T/c.mzML.gz" && "$BIN" calibrate "$EX/nai_profile.mzML" "$EX/nai.ref" --json >"$T/plain.json" &&
    python3 -c "import json,sys; a,b=(json.load(open(p))['statistics'] for p in sys.argv[1:]); assert a==b" "$T/gz.json" "$T/plain.json"
check "gzip in and out read like the plain file" $?

expect "apply rewrites the chosen spectra and copies the others" 0 "" "^564 spectra calibrated" \
    apply "$T/gz.cal" "$OMS/BSA/BSA1.mzML" -o "$T/ms1.mzML" --ms-level 1
# Files that never lie and never lose data.
ok=0
for i in $(seq 20); do
    rm -f "$T/race.cal"
    "$BIN" calibrate "$EX/nai_quad.txt" "$EX/nai.ref" --order 1 --out "$T/race.cal" >/dev/null 2>&1 &
    "$BIN" calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --out "$T/race.cal" >/dev/null 2>&1
    wait
    grep -q '^\[VERSION\]' "$T/race.cal" && grep -q '^\[FUNCTIONS001\]' "$T/race.cal" &&
        grep -q '^\[TOF\]' "$T/race.cal" && ok=$((ok + 1))
done
[ $ok -eq 20 ]
check "two concurrent --out runs keep both sections, stamped ($ok of 20)" $?
for i in $(seq 40); do "$BIN" params set PolyOrder=2 --section "S$i" >/dev/null 2>&1 & done
wait
[ "$(grep -c '^\[S' "$MASSCAL_SETTINGS")" -eq 40 ]
check "40 parallel params set keep 40 sections" $?
mkdir "$T/outdir"
expect "--out onto a directory" 2 "outdir: is a directory" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --out "$T/outdir"
for o in --out --report; do
    (ulimit -f 1; "$BIN" calibrate "$EX/nai_tof.txt" "$EX/nai.ref" $o "$T/big.pdf" >/dev/null 2>"$T/err")
    [ $? -eq 2 ] && grep -q "big.pdf: cannot" "$T/err" && ! ls "$T"/big.* "$T"/.masscal-* "$T"/.big*tmp* >/dev/null 2>&1
    check "size limit on $o: a failed write, nothing left" $?
done
printf '[VERSION]\nVERSION=abc\n[TOF]\nA=1\n' >"$T/badver.cal"
cp "$T/badver.cal" "$T/badver.before"
expect "unreadable version refused" 2 "version" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --out "$T/badver.cal"
cmp -s "$T/badver.cal" "$T/badver.before"
check "unreadable version left alone" $?
long="$T/$(printf 'l%.0s' $(seq 120))/$(printf 'm%.0s' $(seq 120))"
mkdir -p "$long"
expect "long --out path" 2 "too long" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --out "$long/run7.cal"
cp "$EX/nai_tof.txt" "$long/data.txt"
expect "long data path" 2 "data.txt: the path is too long" -- calibrate "$long/data.txt" "$EX/nai.ref"
! ls "$long"/*.cal "$T"/*/run7* >/dev/null 2>&1
check "long paths: nothing written" $?
expect "tof read of a peak list" 2 "not a time-of-flight" -- tof read "$EX/nai_tof.txt"
expect "tof compare of a peak list" 2 "not a time-of-flight" -- tof compare "$EX/nai_tof.txt" "$T/v.cal"
expect "tof write of a peak list" 2 "not a time-of-flight" -- tof write "$EX/nai_tof.txt" "$T/n11.old"
cp "$EX/nai_tof.txt" "$T/in.txt"; cp "$EX/nai.ref" "$T/in.ref"; cp "$T/v.cal" "$T/in.cal"
sum_before=$(cat "$T"/in.* | md5sum)
expect "--report onto the data" 2 "overwrite" -- calibrate "$T/in.txt" "$T/in.ref" --report "$T/in.txt"
expect "--out onto the data" 2 "overwrite" -- calibrate "$T/in.txt" "$T/in.ref" --out "$T/in.txt"
ln -s "$T/in.ref" "$T/link.png"
expect "--png onto the reference, through a link" 2 "overwrite" -- calibrate "$T/in.txt" "$T/in.ref" --png "$T/link.png"
expect "verify --report onto its calibration" 2 "overwrite" -- verify "$T/in.txt" "$T/in.ref" --cal "$T/in.cal" --report "$T/in.cal"
expect "apply onto its calibration" 2 "overwrite" -- apply "$T/in.cal" "$T/in.txt" -o "$T/in.cal"
[ "$(cat "$T"/in.* | md5sum)" = "$sum_before" ]
check "inputs left alone" $?
expect "--report failing, --out given" 2 "r.pdf" -- calibrate "$EX/nai_tof.txt" "$EX/nai.ref" --out "$T/n12.cal" --report "$T/none/r.pdf"
! ls "$T"/n12.cal "$T"/.masscal-* >/dev/null 2>&1
check "a failed run writes none of its outputs" $?
printf '\xef\xbb\xbf100.0 5\r\n200.0 7\r\n' >"$T/bom.txt"
expect "apply to a BOM peak list" 0 "" "^2 peaks" apply "$T/v.cal" "$T/bom.txt" -o "$T/bom.out.txt"
! grep -q "100.0 5" "$T/bom.out.txt"
check "BOM: the first peak is calibrated too" $?
printf '[VERSION]\nVERSION=2\n[FUNCTIONS]\nNumberOfFunctions=1\n[FUNCTIONS001]\nNumberOfSegments=1\nPolynomial001=0 5 0 + 1x^1 + 0x^2 + 0x^3 + 0x^4 + 1E300x^5\n' >"$T/huge.cal"
expect "apply of an overflowing calibration" 2 "finite" -- apply "$T/huge.cal" "$T/bom.txt" -o "$T/n13.txt"
! ls "$T"/n12.cal "$T"/n13.txt >/dev/null 2>&1
check "nothing written by the refused runs" $?
expect "params out of the dialog's range" 2 "between 0 and 100" -- params set PeakWindow=500
expect "params huge" 2 "between 0 and 100" -- params set Threshold=1e39
expect "params order 0" 2 "between 1 and 5" -- params set PolyOrder=0
expect "params rounded" 0 "stored as 0.12" -- params set Threshold=0.125
printf '[Calibration]\nPeakWindow=inf\n' >"$T/bad.ini"
MASSCAL_SETTINGS=$T/bad.ini expect "settings out of range" 2 "bad.ini" -- params get
MASSCAL_SETTINGS=$T/outdir expect "settings unreadable" 2 "outdir" -- params get
expect "poly garbage" 2 "not a calibration polynomial" -- poly eval garbage 500
expect "poly half understood" 2 "not a calibration polynomial" -- poly eval "0 1 0.5" 500

[ $failures -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures != 0))
