#!/usr/bin/env bash
# Runs the program on a demo install folder (demo-home/, SQLite databases) fed by the simulated
# analyser on a pseudo-terminal. The program starts at its login window (demo account admin/admin).
#   With a display: the program runs until the user ends it.
#   Without one ($DISPLAY empty): runs under xvfb-run, logs in with the demo account, lets the
#   simulator send every sample capture, saves a screenshot of each window and prints the paths.
#   BUILD_DIR     build folder (default: build)
#   DEMO_SECONDS  how long the run without a display lasts (default: 28)
#   DEMO_DEVICE   a real serial line instead of the simulator, best named by its stable path
#                 (/dev/serial/by-id/usb-...), so that the adapter is found again after it re-enumerates
#   DEMO_ENGINE   postgresql: both databases on a throw-away PostgreSQL server in demo-home/pg
#                 (scripts/pg-sandbox.sh), stopped when the script ends
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
# A build folder that exists keeps its configuration.
if [ -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" >/dev/null
else
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
fi
cmake --build "$BUILD_DIR" --target corvana corvana-vidas vidas-sim -j "$(nproc)"

home="$root/demo-home"
mkdir -p "$home/PROC"
link="$home/serial-line"
rm -f "$link"

# The analyser: every sample capture, then a few made-up results, on a pseudo-terminal of its own.
captures=()
for f in tests/data/samples/*.bin tests/data/samples/real/*.bin; do
    captures+=(--file "$f")
done
if [ -n "${DEMO_DEVICE:-}" ]; then
    echo "$DEMO_DEVICE" >"$link"
else
    "$BUILD_DIR/tools/vidas-sim" --pty-link "$link" "${captures[@]}" --generate 4 --per-session 2 \
        --chunk 24 --delay 15 --pause 250 2>"$home/vidas-sim.log" &
    sim=$!
    trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
fi
for _ in $(seq 100); do
    [ -s "$link" ] && break
    sleep 0.1
done
[ -s "$link" ] || { echo "the simulated analyser did not start (see $home/vidas-sim.log)" >&2; exit 1; }
device=$(head -n1 "$link")

# Settings of the demo: embedded databases (or the sandbox server), the serial link on the
# simulator's line. The device changes at every run, so the file is written afresh.
if [ "${DEMO_ENGINE:-sqlite}" = "postgresql" ]; then
    socket=$(bash scripts/pg-sandbox.sh start "$home/pg")
    stop_pg() { bash scripts/pg-sandbox.sh stop "$home/pg"; }
    trap 'kill "${sim:-}" 2>/dev/null || true; wait "${sim:-}" 2>/dev/null || true; stop_pg' EXIT
    for db in demo_interfacevidas demo_patients; do
        psql -h "$socket" -U corvana -d postgres -tAc "SELECT 1 FROM pg_database WHERE datname='$db'" | grep -q 1 ||
            psql -h "$socket" -U corvana -d postgres -qc "CREATE DATABASE $db" >/dev/null
    done
    databases="[server]
engine=postgresql
servername=$socket
CRIauthentication=1
UserID=corvana
database=demo_interfacevidas
[corvanaserver]
engine=postgresql
servername=$socket
CRVauthentication=1
UserID=corvana
database=demo_patients
CRVaccess=0
active=1"
    sql() { psql -h "$socket" -U corvana -d demo_interfacevidas -tAc "$1"; }
else
    databases="[server]
engine=sqlite
database=InterfaceVIDAS.db
CRIauthentication=0
[corvanaserver]
engine=sqlite
database=Patients.db
CRVaccess=0
active=1"
    sql() { sqlite3 "$home/InterfaceVIDAS.db" "$1"; }
fi
# It may hold passwords and the remember-me token: private from the first byte.
rm -f "$home/VIDASSETING.INI"
(umask 077 && : >"$home/VIDASSETING.INI")
chmod 600 "$home/VIDASSETING.INI"
cat >"$home/VIDASSETING.INI" <<INI
$databases
[comsetup]
active=1
port=1
Speed=9600
Parity=n
DataBits=8
StopBits=1
device=$device
PCdateYN=0
soudorno=0
autsavecrv=1
autoComment=1
[report]
IDdigitsNo=13
reportlayout=A4 large paper
showrpttitle=1
showrpttitlettxt=Immunoassay Result Report
showtestditals=1
showtestditals1=Test
showtestditals2=Result
showtestditals3=Unit
showtestditals4=Normal range
showtestditals5=Flag
showdoctorsig1=Laboratory Director
showdoctorsig2=Signature ....................
showonecomment1=Comment:
resulflag=1
Barcodes_T=1
showtopline=1
showbuttomline=1
reportstart=150
AbResFonClr2=255
AbResBGSh_T=1
AbResBGShClr=14540287
INI
[ -f "$home/MEMORYVIDAS.ini" ] || printf '[reportdata]\ncolorTIT1=0\n' >"$home/MEMORYVIDAS.ini"
# The databases with the demo catalogue, an administrator and today's LIS requests for the
# patients the sample captures name.
# Fresh databases start a fresh journal: captures of an earlier demo run would be stored again.
rm -rf "$home/captures"
"$BUILD_DIR/src/corvana-vidas" --home "$home" setup-demo

if [ -z "${DISPLAY:-}" ]; then
    # The login window, the demo account typed in, the main window, then the users, password,
    # catalogue, reference-range and comment windows through the navigation strip, a patient
    # picked, the receive window, and a search for today's results; a screenshot of each.
    shot="$home/screenshot.png"
    rm -f "$home"/screenshot*.png
    xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
        "$BUILD_DIR/src/corvana" --home "$home" --demo-login admin:admin --demo-walk --show-data \
        --screenshot "$shot" --quit-after "$(( ${DEMO_SECONDS:-38} * 1000 ))" >/dev/null
    grep -E "sessions sent" "$home/vidas-sim.log" 2>/dev/null || true
    for window in Frm_start Form1 Form1-selected Frm_editresult Frm_editresult-typed Frm_editresult-selected Frm_users message Frm_userspw Frm_correctfactors Form2 Frm_comments Frm_recivedata Frm_search \
        com_setting_frm com_setting_frm-cmd_servercorvana com_setting_frm-cmd_settingcom \
        com_setting_frm-cmd_resultopt com_setting_frm-cmd_systemopt com_setting_frm-cmd_fontcolor \
        com_setting_frm-cmd_serverset frmAbout; do
        if [ -s "$home/screenshot-$window.png" ]; then
            echo "Screenshot of $window: $home/screenshot-$window.png"
        fi
    done
else
    "$BUILD_DIR/src/corvana" --home "$home"
fi

# One report of each layout, as PDF and PNG, for the LIS patient with the most results of a day.
# A short run may not have received a patient's results yet: the sample captures are then stored
# as the line would have delivered them.
pick="SELECT min(AutoNum) FROM Result WHERE patientid <> '' AND sex IS NOT NULL \
    GROUP BY patientid, Testdate ORDER BY count(*) DESC, min(AutoNum) LIMIT 1"
autonum=$(sql "$pick")
if [ -z "$autonum" ]; then
    for f in tests/data/samples/*.bin; do
        "$BUILD_DIR/src/corvana-vidas" --home "$home" replay "$f" >/dev/null 2>&1 || true
    done
    autonum=$(sql "$pick")
fi
if [ -n "$autonum" ]; then
    for layout in Dpt_CRV_Fixed Rpt_CRV2 Rpt_CRVA5 Rpt_CRVA5All; do
        "$BUILD_DIR/src/corvana-vidas" --home "$home" report "$autonum" --layout "$layout" \
            --pdf "$home/report-$layout.pdf" --png "$home/report-$layout.png" 2>/dev/null
    done
else
    echo "no stored result of a LIS patient to print a report of" >&2
fi
