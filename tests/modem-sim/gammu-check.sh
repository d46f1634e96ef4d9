#!/bin/bash
# gammu, an AT client written by others, against the simulated modem: it must identify the
# modem, send messages through it and read its SIM, in text mode and in PDU mode. In PDU mode
# gammu decodes the simulator's PDUs with its own code: UCS2 text, an alphanumeric sender, a
# text with a line break and a two-part message it has to join; the simulator decodes gammu's.
# The PDU half runs with the output cut into pieces. Skipped without gammu.
# Usage: gammu-check.sh <path of tarvogate-modem-sim>
set -u
# Cyrillic must survive the simulator's console and gammu's output.
export LC_ALL=C.UTF-8

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

# gammu prefers PDU mode when the modem offers it; the feature keeps it in text mode.
for mode in text pdu; do
    {
        echo "[gammu]"
        echo "device = $port"
        echo "connection = at"
        [ "$mode" = text ] && echo "features = USE_SMSTEXTMODE"
        echo "logfile = $work/gammu.log"
        echo "logformat = textall"
    } >"$work/gammurc-$mode"
done
mode=text

run_gammu() { timeout 60 "$gammu" -c "$work/gammurc-$mode" "$@" 2>&1; }

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

mode=pdu
# The second message is refused after its PDU; only the first reaches the network.
tell fail +CMGS error 1 skip 1
wait_for 10 simulator_said "scripted error for +CMGS x1 after 1" || fail "the simulator did not take the script"
sent=$(run_gammu sendsms TEXT +4915112345678 -text "hello in PDU mode") || fail "gammu sendsms (PDU): $sent"
refused=$(run_gammu sendsms TEXT +4915112345678 -text "refused by the network") &&
    fail "gammu did not notice the refused message: $refused"
echo "$refused"

tell chunked 5 7 4
wait_for 10 simulator_said "chunking seed 5" || fail "the simulator did not start cutting its output"
sent=$(run_gammu sendsms TEXT 015112345678 -unicode -text "Привет от gammu") || fail "gammu sendsms UCS2: $sent"
echo "$sent"
tell sent
wait_for 10 simulator_said "3 sent" || fail "the simulator does not count three messages sent"
simulator_said "+4915112345678 hello in PDU mode" || fail "the simulator did not decode gammu's PDU"
simulator_said "015112345678 Привет от gammu" || fail "the simulator did not decode gammu's UCS2 PDU"
simulator_said "refused by the network" && fail "the refused message was recorded as sent"

long="Teil eins einer langen Nachricht, die nicht in eine SMS passt, weil sie mehr als hundertsechzig"
long+=" Zeichen hat; gammu muss beide Teile finden und in der richtigen Reihenfolge zusammensetzen. Ende."
tell sms +4917099887766 Привет из сети
tell 'sms MyBank Card payment ERROR\nOK'
tell longsms +4917011111111 42 "$long"
wait_for 10 simulator_said "stored 4,5" || fail "the simulator did not store the two parts"
inbox=$(run_gammu getallsms) || fail "gammu getallsms (PDU): $inbox"
echo "$inbox"
grep -q '^Привет из сети$' <<<"$inbox" || fail "gammu did not read the UCS2 message"
grep -q '^Remote number *: "MyBank"$' <<<"$inbox" || fail "gammu did not read the alphanumeric sender"
# gammu prints the message's CR LF as it is.
tr -d '\r' <<<"$inbox" | grep -A1 '^Card payment ERROR$' | grep -qx OK || fail "gammu did not read the line break"
grep -q 'Concatenated (linked) message, ID (8 bit) 42, part 2 of 2' <<<"$inbox" ||
    fail "gammu did not see the concatenation header"
joined=$(run_gammu geteachsms) || fail "gammu geteachsms: $joined"
grep -qxF -- "$long" <<<"$joined" || fail "gammu did not join the two parts: $joined"

tell quit
wait_for 10 sh -c "! kill -0 $simulator_pid 2>/dev/null" || fail "the simulator did not end on quit"
simulator_pid=
echo "gammu works with the simulator"
