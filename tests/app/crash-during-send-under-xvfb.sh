#!/bin/bash
# The real program against the simulated modem over a line that delivers its output in small
# pieces: it is killed while the modem holds back the confirmation of a send, and started
# again. Nothing may be sent twice, and every received SMS arrives whole and once.
program="$1"
simulator="$2"
. "$(dirname "$0")/xvfb-common.sh"
cp "$program" "$work/tarvogate"
cd "$work"

mkfifo sim.in
"$simulator" --serve --chunked 11 <sim.in >sim.txt 2>&1 &
pids+=($!)
exec 3>sim.in
wait_for sim.txt "/dev/" 100 || fail "the simulator printed no port"
port="$(head -n1 sim.txt | grep -o '/dev/[^ ]*')"

sql() { printf "PRAGMA key='morvik';\n%s\n" "$1" | sqlcipher SMSGateway.mdb 2>&1 | { grep -v '^ok$' || true; }; }
# sim_says TEXT [TRIES]: asks the simulator for its sent list until it reports TEXT.
sim_says() {
    for _ in $(seq 1 "${2:-400}"); do
        echo "sent" >&3
        sleep 0.05
        grep -qx "$1" sim.txt && return 0
    done
    return 1
}

./tarvogate >first.txt 2>&1 &
first=$!
pids+=($first)
wait_for first.txt "Connecting to GSM Modem." || fail "the first start did not get to the modem"
kill -TERM "$first"; wait "$first" 2>/dev/null
sql "INSERT INTO ModemSettings (CommPortNo, CommPortName, BitsPerSecond, DataBits, Parity, StopBits, FlowControl, CharacterSet, EnabledCallerId, ModemDelayFactor) VALUES (1, '$port', '115200', '8', 'n', '1', '0', 'GSM', -1, 1);
UPDATE Timer_Setting SET ReceiveAllMessagesTime=1, SendAllMessagesTime=1;
INSERT INTO Message_OutBox (RecepId, RecipientMobileNo, Message, OutBoxDateTime) VALUES (0, '+4915100000001', 'first', '2026-12-07 10:00:00');
INSERT INTO Message_OutBox (RecepId, RecipientMobileNo, Message, OutBoxDateTime) VALUES (0, '+4915100000002', 'second', '2026-12-07 10:00:01');
INSERT INTO Message_OutBox (RecepId, RecipientMobileNo, Message, OutBoxDateTime) VALUES (0, '+4915100000003', 'third', '2026-12-07 10:00:02');" \
    >prepare.txt
[ -s prepare.txt ] && fail "could not prepare the store"

cyrillic="Привет! Это длинное сообщение, которое не помещается в одну часть, поэтому оно приходит двумя частями."
echo "fail +CMGS swallow 1 skip 1" >&3 # the second send goes out, its confirmation never comes
echo "sms +447700900123 OK see you at 5" >&3
echo "sms +447700900124 Card payment ERROR" >&3
echo "longsms +79161234567 5 $cyrillic" >&3

./tarvogate >run1.txt 2>&1 &
pid=$!
pids+=($pid)
sim_says "2 sent" || fail "the second message never went out"
kill -KILL "$pid"
wait "$pid" 2>/dev/null

./tarvogate >run2.txt 2>&1 &
pid=$!
pids+=($pid)
wait_for run2.txt "outbox message(s) were left 'SENDING'" || fail "the unconfirmed send was not reported"
sim_says "3 sent" || fail "the third message was not sent after the restart"
for _ in $(seq 1 200); do
    [ "$(sql 'SELECT COUNT(*) FROM Message_InBox;')" = "3" ] && break
    sleep 0.05
done
kill -TERM "$pid"
wait "$pid" || fail "exit status $? after SIGTERM"

[ "$(sql 'SELECT DeliveryStatus FROM Message_OutBox ORDER BY Outbox_Id;' | tr '\n' ' ')" = "SENT SENDING SENT " ] \
    || fail "outbox states: $(sql 'SELECT Outbox_Id, DeliveryStatus FROM Message_OutBox;' | tr '\n' ' ')"
echo "sent" >&3
sim_says "3 sent" 1 || fail "the network did not get exactly three messages"
for n in 1 2 3; do
    [ "$(grep -c "+491510000000$n " sim.txt)" -ge 1 ] || fail "nothing reached +491510000000$n"
done
[ "$(sql 'SELECT COUNT(*) FROM Message_InBox;')" = "3" ] || fail "inbox: $(sql 'SELECT SenderMobileNo, Message FROM Message_InBox;')"
for text in "OK see you at 5" "Card payment ERROR" "$cyrillic"; do
    [ "$(sql "SELECT COUNT(*) FROM Message_InBox WHERE Message='$text';")" = "1" ] || fail "not stored once: $text"
done
echo "quit" >&3
exit 0
