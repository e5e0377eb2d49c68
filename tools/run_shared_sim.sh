#!/usr/bin/env bash
# Runs one shared simulation on loopback: a master and two slaves, each a
# simhost process in its own folder with its own configuration, then compares
# their vessels. Used by scripts/demo, the end-to-end tests and scripts/winrun.
#   tools/run_shared_sim.sh BIN_DIR OUT_DIR [--duration S] [--late S] [--port P]
#                           [--host "COMMAND..."] [--module-suffix .so|.dll]
# --host starts each host with that command instead of BIN_DIR/simhost (for
# instance "wine BIN_DIR/simhost.exe"), --module-suffix names the modules'
# files (default .so).
set -euo pipefail

bin="$(cd "$1" && pwd)"; mkdir -p "$2"; out="$(cd "$2" && pwd)"; shift 2
duration=20
late=4
port=""
host=("$bin/simhost")
suffix=.so
while [ $# -gt 0 ]; do
  case "$1" in
    --duration) duration="$2"; shift 2 ;;
    --late) late="$2"; shift 2 ;;
    --port) port="$2"; shift 2 ;;
    --host) read -r -a host <<<"$2"; shift 2 ;;
    --module-suffix) suffix="$2"; shift 2 ;;
    *) echo "run_shared_sim: unknown option $1" >&2; exit 2 ;;
  esac
done
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -z "$port" ]; then  # a free UDP port on loopback
  port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
fi
text_classes="Shuttle2 Capsule1"

rm -rf "$out"
for who in master slave1 slave2; do mkdir -p "$out/$who/Config" "$out/$who/Scenarios"; done
cat > "$out/master/Config/Helmcast.cfg" <<CFG
debug = 1
masterPort = $port
maxUpdateRate = 30
textSyncClasses = $text_classes
CFG
for who in slave1 slave2; do
  cat > "$out/$who/Config/Helmecho.cfg" <<CFG
debug = 1
masterIP = 127.0.0.1
masterPort = $port
switchFocus = 1
CFG
done

common=(--classes "$root/config/Vessels" --module-dir "$bin" --realtime --quiet --dump state.json --dump-every 0.5)
# Keys typed in the master: lights on the focus vessel (L), a key held with
# Alt and released while Alt is still down, and two more presses.
t1=$(python3 -c "print(round($late + 1.5, 2))")
t2=$(python3 -c "print(round($late + 2.5, 2))")
t3=$(python3 -c "print(round($late + 3.5, 2))")
keys=(--key "$t1:L:tap" --key "$t2:G:tap:alt" --key "$t3:L:tap")

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

(cd "$out/master" && exec "${host[@]}" --root . --module "$bin/Helmcast$suffix" --scenario "$root/scenarios/Demo.scn" \
   --duration "$duration" "${keys[@]}" "${common[@]}") > "$out/master/simhost.out" 2>&1 &
pids+=($!)
(cd "$out/slave1" && exec "${host[@]}" --root . --module "$bin/Helmecho$suffix" --scenario "$root/scenarios/Demo.scn" \
   --duration "$(python3 -c "print($duration + 1)")" "${common[@]}") > "$out/slave1/simhost.out" 2>&1 &
pids+=($!)
sleep "$late"
# The late joiner starts from an empty sky a day behind.
(cd "$out/slave2" && exec "${host[@]}" --root . --module "$bin/Helmecho$suffix" --scenario "$root/scenarios/Empty.scn" \
   --duration "$(python3 -c "print($duration - $late + 1)")" "${common[@]}") > "$out/slave2/simhost.out" 2>&1 &
pids+=($!)

status=0
for pid in "${pids[@]}"; do wait "$pid" || status=$?; done
trap - EXIT
if [ "$status" -ne 0 ]; then
  echo "run_shared_sim: a simhost process failed ($status)" >&2
  for who in master slave1 slave2; do echo "--- $who"; cat "$out/$who/simhost.out"; done >&2
  exit 1
fi

python3 "$root/tools/compare_states.py" --text-classes "$text_classes" "$out/master/state.json" \
  "slave1=$out/slave1/state.json:$out/slave1/Helmecho.log" \
  "slave2=$out/slave2/state.json:$out/slave2/Helmecho.log"
