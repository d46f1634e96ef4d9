#!/bin/bash
# Proves with curl alone that the servers start.sh brought up behave as the mail tests expect:
# delivery, AUTH over STARTTLS and implicit TLS, refused recipients, POP3 over STLS and
# implicit TLS, and the silent and closed ports.
# Usage: smoke.sh [servers.env]   (default: $TARVOGATE_MAIL_SERVERS_ENV)
set -uo pipefail

env_file=${1:-${TARVOGATE_MAIL_SERVERS_ENV:-}}
[ -f "$env_file" ] || { echo "FAILED: no servers.env at '$env_file'"; exit 1; }
while IFS='=' read -r key value; do
    [[ $key =~ ^[A-Z0-9_]+$ ]] && printf -v "$key" '%s' "$value"
done < "$env_file"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvogate-mail-smoke-XXXXXX")
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

ok() { echo "ok: $*"; passed=$((passed + 1)); }
not_ok() {
    echo "FAILED: $*"
    [ -s "$work/curl.err" ] && sed 's/^/    curl: /' "$work/curl.err"
    failed=$((failed + 1))
}

# Runs curl with a bounded time; its stderr is kept for the report and its exit code returned.
run_curl() {
    curl -sS --max-time 10 "$@" > "$work/curl.out" 2> "$work/curl.err"
}

# Polls the delivery Maildir until a message with the marker is there (delivery follows the
# 250 reply by a few milliseconds).
delivered_file() {
    local marker=$1 deadline=$((SECONDS + 10)) file
    while [ "$SECONDS" -lt "$deadline" ]; do
        file=$(grep -l -F -- "$marker" "$DELIVERED_DIR"/new/* 2>/dev/null | head -n 1)
        [ -n "$file" ] && { echo "$file"; return 0; }
        sleep 0.05
    done
    return 1
}

message() {
    local to=$1 marker=$2
    printf 'From: gateway@example.org\r\nTo: %s\r\nSubject: %s\r\n\r\nSmoke test body.\r\n' \
        "$to" "$marker" > "$work/message.eml"
}

send() {
    local url=$1 to=$2
    shift 2
    run_curl "$url" --mail-from gateway@example.org --mail-rcpt "$to" -T "$work/message.eml" "$@"
}

# --- SMTP without authentication ------------------------------------------------------------
marker="smoke-plain-$$-$RANDOM"
message 4915112345678@sms.example.org "$marker"
if send "smtp://$MAIL_HOST:$SMTP_PORT" 4915112345678@sms.example.org; then
    if file=$(delivered_file "$marker"); then
        ok "smtp://$SMTP_PORT delivered to $file"
    else
        not_ok "smtp://$SMTP_PORT accepted the message but it never reached $DELIVERED_DIR/new"
    fi
else
    not_ok "smtp://$SMTP_PORT refused a message (curl $?)"
fi

marker="smoke-plus-$$-$RANDOM"
message +4915112345678@sms.example.org "$marker"
if send "smtp://$MAIL_HOST:$SMTP_PORT" +4915112345678@sms.example.org && delivered_file "$marker" > /dev/null; then
    ok "a recipient with a leading + is delivered"
else
    not_ok "a recipient with a leading + was not delivered"
fi

message refuse1@x "smoke-refused"
send "smtp://$MAIL_HOST:$SMTP_PORT" refuse1@x
code=$?
if [ $code -eq 55 ] && grep -q 550 "$work/curl.err"; then
    ok "refuse1@x is refused with 550"
else
    not_ok "refuse1@x: expected curl 55 with 550, got curl $code"
fi

message later1@x "smoke-deferred"
send "smtp://$MAIL_HOST:$SMTP_PORT" later1@x
code=$?
if [ $code -eq 55 ] && grep -q 450 "$work/curl.err"; then
    ok "later1@x is deferred with 450"
else
    not_ok "later1@x: expected curl 55 with 450, got curl $code"
fi

# --- SMTP with AUTH; no --cacert: the test CA must be in the system store --------------------
marker="smoke-auth-$$-$RANDOM"
message 4915112345678@sms.example.org "$marker"
if send "smtp://$MAIL_HOST:$SMTP_AUTH_PORT" 4915112345678@sms.example.org --ssl-reqd \
        --login-options AUTH=LOGIN -u "$SMTP_USER:$SMTP_PASSWORD"; then
    file=$(delivered_file "$marker")
    # "ESMTPSA" in postfix's Received header: the message came over TLS after AUTH.
    if [ -n "$file" ] && grep -q 'with ESMTPSA' "$file"; then
        ok "AUTH LOGIN after STARTTLS on $SMTP_AUTH_PORT delivers"
    else
        not_ok "AUTH LOGIN after STARTTLS on $SMTP_AUTH_PORT: no delivery over TLS with AUTH"
    fi
else
    not_ok "AUTH LOGIN after STARTTLS on $SMTP_AUTH_PORT failed (curl $?)"
fi

send "smtp://$MAIL_HOST:$SMTP_AUTH_PORT" 4915112345678@sms.example.org --ssl-reqd \
    --login-options AUTH=LOGIN -u "$SMTP_USER:wrong-password"
code=$?
if [ $code -eq 67 ]; then
    ok "a wrong password on $SMTP_AUTH_PORT is refused"
else
    not_ok "a wrong password on $SMTP_AUTH_PORT: expected curl 67, got $code"
fi

send "smtp://$MAIL_HOST:$SMTP_AUTH_PORT" 4915112345678@sms.example.org --ssl-reqd
code=$?
if [ $code -eq 55 ] && grep -q 554 "$work/curl.err"; then
    ok "mail without AUTH on $SMTP_AUTH_PORT is refused with 554"
else
    not_ok "mail without AUTH on $SMTP_AUTH_PORT: expected curl 55 with 554, got $code"
fi

marker="smoke-smtps-$$-$RANDOM"
message 4915112345678@sms.example.org "$marker"
if send "smtps://$MAIL_HOST:$SMTPS_PORT" 4915112345678@sms.example.org \
        --login-options AUTH=PLAIN -u "$SMTP_USER:$SMTP_PASSWORD" && delivered_file "$marker" > /dev/null; then
    ok "smtps://$SMTPS_PORT with AUTH PLAIN delivers"
else
    not_ok "smtps://$SMTPS_PORT did not deliver"
fi

# --- POP3 ------------------------------------------------------------------------------------
# The name sorts after any message a test left behind, so it is the last in the listing.
marker="smoke-pop3-$$-$RANDOM"
dropped="$MAILDIR_NEW/zzzz-smoke-$$.$RANDOM"
printf 'From: someone@example.org\nTo: sms@localhost\nSubject: %s\n\nsmoke test\n' "$marker" > "$dropped"
chmod 0644 "$dropped"
pop3=("pop3://$MAIL_HOST:$POP3_PORT" --ssl-reqd -u "$MAILBOX_USER:$MAILBOX_PASSWORD")
if run_curl "${pop3[0]}/" "${pop3[@]:1}" && [ -s "$work/curl.out" ]; then
    number=$(tail -n 1 "$work/curl.out" | cut -d ' ' -f 1)
    ok "POP3 with STLS lists $(wc -l < "$work/curl.out") message(s)"
    if run_curl "${pop3[0]}/$number" "${pop3[@]:1}" && grep -q -F "$marker" "$work/curl.out"; then
        ok "POP3 RETR $number returns the dropped message"
    else
        not_ok "POP3 RETR $number did not return the dropped message"
    fi
    if run_curl "${pop3[0]}/" "${pop3[@]:1}" -X "DELE $number" -I \
            && ! grep -q -F "$marker" "$MAILDIR_NEW"/* "$MAILDIR_NEW"/../cur/* 2>/dev/null; then
        ok "POP3 DELE $number removes the message"
    else
        not_ok "POP3 DELE $number did not remove the message"
    fi
else
    not_ok "POP3 with STLS on $POP3_PORT did not list the dropped message"
fi
rm -f "$dropped"

if run_curl "pop3s://$MAIL_HOST:$POP3S_PORT/" -u "$MAILBOX_USER:$MAILBOX_PASSWORD"; then
    ok "pop3s://$POP3S_PORT logs in"
else
    not_ok "pop3s://$POP3S_PORT did not log in (curl $?)"
fi

run_curl "pop3s://$MAIL_HOST:$POP3S_PORT/" -u "$MAILBOX_USER:wrong-password"
code=$?
if [ $code -eq 67 ]; then
    ok "a wrong POP3 password is refused"
else
    not_ok "a wrong POP3 password: expected curl 67, got $code"
fi

# --- ports that do not serve -----------------------------------------------------------------
curl -sS --max-time 2 "pop3://$MAIL_HOST:$SILENT_PORT/" -u a:b > /dev/null 2> "$work/curl.err"
code=$?
if [ $code -eq 28 ]; then
    ok "the silent server on $SILENT_PORT makes a client time out"
else
    not_ok "the silent server on $SILENT_PORT: expected curl 28, got $code"
fi

run_curl "smtp://$MAIL_HOST:$CLOSED_PORT" -X NOOP
code=$?
if [ $code -eq 7 ]; then
    ok "port $CLOSED_PORT refuses connections"
else
    not_ok "port $CLOSED_PORT: expected curl 7, got $code"
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
