#!/bin/bash
# Starts the real program as a portable copy in an empty folder under a virtual X display
# (no notification area there) and checks what an administrator would: the store is made,
# encrypted, holds every table, the start-up lines come in order, the program stays up
# minimised, refuses a second copy on the same store, and ends cleanly on SIGTERM.
program="$1"
. "$(dirname "$0")/xvfb-common.sh"
cp "$program" "$work/tarvogate"

cd "$work"
./tarvogate >out.txt 2>&1 &
pid=$!
pids+=($pid)

for _ in $(seq 1 300); do
    grep -q "Connecting to GSM Modem." out.txt 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended during start-up"
    sleep 0.05
done
grep -q "Connecting to GSM Modem." out.txt || fail "start-up lines missing"

expected=$'Initializing WebMail-To-SMS Properties.\nInitializing SMS Delivery Properties.\nInitializing AutoReply On MissedCall Properties.\nInitializing Timer Properties.\nConnecting to GSM Modem.'
actual="$(grep -o '\] : .*' out.txt | sed 's/^\] : //')"
[ "$actual" = "$expected" ] || fail "start-up lines out of order: $actual"

[ -f SMSGateway.mdb ] || fail "no store file"
if sqlite3 SMSGateway.mdb .tables >/dev/null 2>&1; then fail "plain sqlite3 could read the store"; fi
tables="$(printf "PRAGMA key='morvik';\n.tables\n" | sqlcipher SMSGateway.mdb 2>&1)"
for t in Message_InBox Message_OutBox MissedCallStatistics SMS_AutoReply SMS_AutoReplySettings \
         AutoReply_OnMissedCall ModemSettings Timer_Setting WebMailToSMS_POP3Settings \
         WebMailToSMS_MessagesReceived SMS_UserAccounts Country State UserDetails; do
    grep -qw "$t" <<<"$tables" || fail "table $t missing: $tables"
done

sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program did not stay running"

# A second copy on the same store says so (on standard error and in a message box).
./tarvogate >second.txt 2>&1 &
second=$!
pids+=($second)
for _ in $(seq 1 200); do grep -q "already running" second.txt 2>/dev/null && break; sleep 0.05; done
grep -q "already running" second.txt || { cat second.txt; fail "a second copy was not refused"; }
kill -9 "$second" 2>/dev/null
wait "$second" 2>/dev/null
kill -0 "$pid" 2>/dev/null || fail "the first copy ended when the second was refused"

kill -TERM "$pid"
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$pid" 2>/dev/null && fail "SIGTERM did not end the program"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ -e SMSGateway.mdb.lock ] && fail "the single-instance lock was left behind"
exit 0
