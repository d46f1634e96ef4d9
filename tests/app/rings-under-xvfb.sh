#!/bin/bash
# The real program and the standalone modem simulator, as an administrator would try them:
# the store names the simulator's port, the gateway connects and initialises the modem, and an
# incoming call shows its caller in the activity log.
program="$1"
simulator="$2"
. "$(dirname "$0")/xvfb-common.sh"
cp "$program" "$work/tarvogate"
cd "$work"

mkfifo sim.in
"$simulator" --serve <sim.in >sim.txt 2>&1 &
pids+=($!)
exec 3>sim.in
wait_for sim.txt "/dev/" 100 || fail "the simulator printed no port"
port="$(head -n1 sim.txt | grep -o '/dev/[^ ]*')"

# A first start makes the store; the modem settings are then written as the settings screen would.
./tarvogate >first.txt 2>&1 &
first=$!
pids+=($first)
wait_for first.txt "Connecting to GSM Modem." || fail "the first start did not get to the modem"
kill -TERM "$first"; wait "$first" 2>/dev/null
printf "PRAGMA key='morvik';\nINSERT INTO ModemSettings (CommPortNo, CommPortName, BitsPerSecond, DataBits, Parity, StopBits, FlowControl, CharacterSet, EnabledCallerId, ModemDelayFactor) VALUES (1, '%s', '115200', '8', 'n', '1', '0', 'GSM', -1, 1);\n" "$port" \
    | sqlcipher SMSGateway.mdb >/dev/null 2>&1 || fail "could not write the modem settings"

./tarvogate >out.txt 2>&1 &
pid=$!
pids+=($pid)
wait_for out.txt "Response for AT+CMGF=1 is 'OK'" || fail "the gateway did not initialise the modem"
grep -qF "Connection to GSM Modem successful." out.txt || fail "no connection line"

echo "ring +919812345678" >&3
wait_for out.txt "ALERT : Incoming call detected from the number '+919812345678'" || fail "the caller was not shown"
echo "hangup" >&3

kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
printf "PRAGMA key='morvik';\nSELECT callerNumber FROM MissedCallStatistics;\n" | sqlcipher SMSGateway.mdb 2>/dev/null \
    | grep -qx "+919812345678" || fail "the call was not recorded"
echo "quit" >&3
exit 0
