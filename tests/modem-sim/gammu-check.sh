#!/bin/bash
# gammu, an AT client written by others, against the simulated modem: it must identify the
# modem, send a message through it and read a message from its SIM. Skipped without gammu.
# Usage: gammu-check.sh <path of tarvogate-modem-sim>
set -u

simulator=${1:?usage: gammu-check.sh <tarvogate-modem-sim>}
gammu=$(command -v gammu) || { echo "gammu is not installed; skipping"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvogate-gammu-XXXXXX")
simulator_pid=
cleanup() {
    exec 3>&- 2>/dev/null
    if [ -n "$simulator_pid" ]; then
        kill "$simulator_pid" 2>/dev/null
        wait "$simulator_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*"
    echo "--- simulator output"; cat "$work/simulator.out"
    echo "--- port traffic"; tail -n 80 "$work/traffic.log"
    echo "--- gammu log"; tail -n 80 "$work/gammu.log" 2>/dev/null
    exit 1
}

# Polls a condition until it holds or the seconds given have passed.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

simulator_said() { grep -qF -- "$1" "$work/simulator.out"; }

# Commands reach the simulator through a fifo this script keeps open; --serve keeps it up even
# if the fifo ends early.
mkfifo "$work/control"
TARVOGATE_MODEM_SIM_TRACE=1 "$simulator" --serve --manufacturer Acme --model "GSM Box 7" \
    <"$work/control" >"$work/simulator.out" 2>"$work/traffic.log" &
simulator_pid=$!
exec 3>"$work/control"
tell() { echo "$*" >&3; }

wait_for 10 test -s "$work/simulator.out" || fail "the simulator did not print its port"
port=$(head -n 1 "$work/simulator.out")
[ -c "$port" ] || fail "the simulator's port $port is not a character device"

cat >"$work/gammurc" <<EOF
[gammu]
device = $port
connection = at
features = USE_SMSTEXTMODE
logfile = $work/gammu.log
logformat = textall
EOF

run_gammu() { timeout 60 "$gammu" -c "$work/gammurc" "$@" 2>&1; }

identity=$(run_gammu identify) || fail "gammu identify: $identity"
echo "$identity"
grep -q '^Manufacturer *: Acme$' <<<"$identity" || fail "gammu did not read the manufacturer"
grep -q 'GSM Box 7' <<<"$identity" || fail "gammu did not read the model"
grep -q '^IMEI *: 356938035643809$' <<<"$identity" || fail "gammu did not read the IMEI"

sent=$(run_gammu sendsms TEXT +4915112345678 -text "hello from gammu") || fail "gammu sendsms: $sent"
echo "$sent"
tell sent
wait_for 10 simulator_said "+4915112345678 hello from gammu" || fail "the simulator has no record of the message"

tell sms +4917099887766 Guten Tag aus dem Netz
wait_for 10 simulator_said "stored 1" || fail "the simulator did not store the incoming message"
inbox=$(run_gammu getallsms) || fail "gammu getallsms: $inbox"
echo "$inbox"
grep -q '^Guten Tag aus dem Netz$' <<<"$inbox" || fail "gammu did not list the message on the SIM"
grep -q '+4917099887766' <<<"$inbox" || fail "gammu did not list the sender"

tell quit
wait_for 10 sh -c "! kill -0 $simulator_pid 2>/dev/null" || fail "the simulator did not end on quit"
simulator_pid=
echo "gammu works with the simulator"
