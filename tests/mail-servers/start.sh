#!/bin/bash
# Starts the real mail servers the tests talk to, on loopback ports only, from configs of our
# own under DIR, and writes DIR/servers.env for the tests.
# Usage: start.sh DIR
set -euo pipefail

# The servers change to their own users, and the test CA goes into the system trust store.
[ "$(id -u)" -eq 0 ] || exec sudo -n "$0" "$@"

here=$(cd "$(dirname "$0")" && pwd)
dir=${1:?usage: start.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
base=$dir

host=127.0.0.1
# The same servers on a second loopback address, with a self-signed certificate that is in no
# trust store: what an office's own appliance looks like to the gateway.
untrusted_host=127.0.0.2
pop3_port=11110
# The gateway knows implicit TLS by its standard ports (995, 465), so those two are real.
pop3s_port=995
smtp_port=12525
smtp_auth_port=12587
# Offers AUTH but no STARTTLS: a login may only go there when the operator allowed it.
smtp_plain_port=12588
smtps_port=465
silent_port=12999
closed_port=12998
mailbox_user=sms@localhost
mailbox_password=mailbox-secret
smtp_user=smtpuser
smtp_password=smtp-secret
# The mailbox owner: dovecot and postfix's virtual agent both refuse to deliver as root.
mail_uid=65534
mail_gid=65534

# A run of another build tree, or one that died, may still hold the ports.
last_run=/tmp/tarvogate-mail-servers.last
previous=$(cat "$last_run" 2>/dev/null || true)
if [ -n "$previous" ] && [ "$previous" != "$dir" ]; then
    "$here/stop.sh" "$previous"
fi
"$here/stop.sh" "$dir"
echo "$dir" > "$last_run"

fail() {
    echo "FAILED: $*" >&2
    for log in "$base/dovecot/dovecot.log" "$base/postfix/postfix.log" "$base/postfix/start.out" \
               "$base/dovecot/start.out"; do
        [ -s "$log" ] && { echo "--- $log" >&2; tail -n 60 "$log" >&2; }
    done
    "$here/stop.sh" "$dir" >&2 || true
    exit 1
}

# Bash's own connect, as iproute2 is not on every minimal system.
listening() { timeout 2 bash -c "exec 3<>/dev/tcp/$host/$1" 2>/dev/null; }

# The servers reach their files as their own users, so every folder on the way must be
# passable for others. Where DIR lies below a private folder (a checkout under /root), the
# servers' files go to a folder under /tmp instead, linked from DIR/runtime.
rm -rf "$dir/tls" "$dir/dovecot" "$dir/postfix" "$dir/home" "$dir/delivered" \
       "$dir/servers.env" "$dir/ca.crt" "$dir/untrusted.crt" "$dir/silent.pid"
old_runtime=$(readlink "$dir/runtime" 2>/dev/null || true)
case $old_runtime in /tmp/tarvogate-mail-servers-*) rm -rf "$old_runtime" ;; esac
rm -f "$dir/runtime"
chmod 755 "$dir"
if setpriv --reuid=$mail_uid --regid=$mail_gid --clear-groups test -x "$dir"; then
    base=$dir
else
    base=$(mktemp -d /tmp/tarvogate-mail-servers-XXXXXX)
    chmod 755 "$base"
    ln -s "$base" "$dir/runtime"
fi

for port in $pop3_port $pop3s_port $smtp_port $smtp_auth_port $smtp_plain_port $smtps_port $silent_port \
            $closed_port; do
    if listening "$port"; then
        command -v ss > /dev/null && ss -Hltnp "sport = :$port" >&2
        fail "port $port is already in use by a process this script did not start"
    fi
done

# --- certificates --------------------------------------------------------------------------
tls=$base/tls
mkdir -p "$tls"
cat > "$tls/openssl.cnf" <<'EOF'
[ req ]
distinguished_name = dn
prompt = no
[ dn ]
CN = tarvogate test
[ ca ]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ server ]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1, IP:::1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
{
    openssl req -x509 -config "$tls/openssl.cnf" -extensions ca -newkey ec \
        -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$tls/ca.key" -out "$tls/ca.crt" \
        -days 30 -subj "/CN=tarvogate test CA $(date +%s)"
    openssl req -new -config "$tls/openssl.cnf" -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 \
        -nodes -keyout "$tls/server.key" -out "$tls/server.csr" -subj "/CN=localhost"
    openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.crt" -CAkey "$tls/ca.key" \
        -set_serial "0x$(openssl rand -hex 8)" -days 30 -extfile "$tls/openssl.cnf" \
        -extensions server -out "$tls/server.crt"
} > "$tls/openssl.out" 2>&1 || { cat "$tls/openssl.out" >&2; fail "could not make the test certificates"; }
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$tls/untrusted.key" \
    -out "$tls/untrusted.crt" -days 30 -subj "/CN=tarvogate untrusted test server" \
    -addext "subjectAltName = IP:$untrusted_host" >> "$tls/openssl.out" 2>&1 \
    || { cat "$tls/openssl.out" >&2; fail "could not make the self-signed test certificate"; }
chmod 600 "$tls/ca.key" "$tls/server.key" "$tls/untrusted.key"
cp "$tls/ca.crt" "$dir/ca.crt"
cp "$tls/untrusted.crt" "$dir/untrusted.crt"
chmod 644 "$dir/ca.crt" "$dir/untrusted.crt"

# libcurl's default verification reads the system store, so a client that is given no CA file
# must still accept our servers.
cp "$tls/ca.crt" /usr/local/share/ca-certificates/tarvogate-test-ca.crt
update-ca-certificates > "$tls/update-ca-certificates.out" 2>&1 \
    || { cat "$tls/update-ca-certificates.out" >&2; fail "update-ca-certificates failed"; }

# --- mailboxes -----------------------------------------------------------------------------
for user in sms smtpuser; do
    mkdir -p "$base/home/$user/Maildir/new" "$base/home/$user/Maildir/cur" "$base/home/$user/Maildir/tmp"
done
mkdir -p "$base/delivered/new" "$base/delivered/cur" "$base/delivered/tmp"
chown -R $mail_uid:$mail_gid "$base/home" "$base/delivered"
chmod -R 755 "$base/home" "$base/delivered"

# --- dovecot (POP3) ------------------------------------------------------------------------
dc=$base/dovecot
mkdir -p "$dc/state"
chmod 755 "$dc"
printf '%s:{PLAIN}%s\n' "$mailbox_user" "$mailbox_password" "$smtp_user" "$smtp_password" > "$dc/users"
chmod 640 "$dc/users"
chgrp dovecot "$dc/users"
cat > "$dc/dovecot.conf" <<EOF
base_dir = $dc/run
state_dir = $dc/state
instance_name = tarvogate-test
log_path = $dc/dovecot.log
info_log_path = $dc/dovecot.log
protocols = pop3
listen = $host, $untrusted_host

ssl = yes
ssl_cert = <$tls/server.crt
ssl_key = <$tls/server.key
local $untrusted_host {
  ssl_cert = <$tls/untrusted.crt
  ssl_key = <$tls/untrusted.key
}
# Tests log in without TLS too, as some operators' mail servers still allow it.
disable_plaintext_auth = no
auth_mechanisms = plain login
# Tests try wrong passwords on purpose; the default delays, and the growing per-address
# penalty after them, would push later correct logins past the clients' time-outs.
auth_failure_delay = 0
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}

passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dc/users
}
userdb {
  driver = static
  args = uid=$mail_uid gid=$mail_gid home=$base/home/%n
}
mail_location = maildir:~/Maildir

service pop3-login {
  inet_listener pop3 {
    address = $host, $untrusted_host
    port = $pop3_port
  }
  inet_listener pop3s {
    address = $host, $untrusted_host
    port = $pop3s_port
    ssl = yes
  }
}

# postfix asks this socket to check SMTP AUTH; smtpd runs as the postfix user.
service auth {
  unix_listener auth-postfix {
    mode = 0660
    user = postfix
    group = postfix
  }
}
EOF
dovecot -c "$dc/dovecot.conf" < /dev/null > "$dc/start.out" 2>&1 || fail "dovecot did not start"

# --- postfix (SMTP) ------------------------------------------------------------------------
# postfix wants its configuration tree owned by root throughout, so the queue and the data
# folder, owned by the postfix user, sit beside it.
pf=$base/postfix
mkdir -p "$pf/etc" "$pf/queue" "$pf/data"
chown postfix:postfix "$pf/data"
touch "$pf/postfix.log"
cat > "$pf/etc/recipient_access" <<'EOF'
/^refuse/   550 5.1.1 Recipient refused by the test server
/^4915550550/ 550 5.1.1 Recipient refused by the test server
/^later/    450 4.2.0 Recipient deferred by the test server
EOF
cat > "$pf/etc/main.cf" <<EOF
compatibility_level = 3.6
queue_directory = $pf/queue
data_directory = $pf/data
mail_owner = postfix
setgid_group = postdrop
maillog_file = $pf/postfix.log
maillog_file_prefixes = $pf
myhostname = localhost.localdomain
mydomain = localdomain
myorigin = localhost
mydestination =
inet_interfaces = $host
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
smtpd_peername_lookup = no
biff = no
alias_maps =
alias_database =

# Every message, for any recipient domain, lands in one Maildir the tests read.
virtual_mailbox_domains = static:all
virtual_mailbox_base = $base
virtual_mailbox_maps = static:delivered/
virtual_uid_maps = static:$mail_uid
virtual_gid_maps = static:$mail_gid
virtual_transport = virtual
# Nothing may ever leave this machine, not even a bounce.
local_transport = error:no local delivery on the test server
default_transport = error:no remote delivery from the test server
relay_transport = error:no relaying from the test server
# Without this postfix adds Message-Id and Date to mail from loopback clients, and the tests
# must see what the gateway sent.
local_header_rewrite_clients =

smtpd_banner = \$myhostname ESMTP tarvogate test server
smtpd_tls_cert_file = $tls/server.crt
smtpd_tls_key_file = $tls/server.key
smtpd_tls_security_level = may
smtpd_tls_auth_only = no
smtpd_sasl_type = dovecot
smtpd_sasl_path = $dc/run/auth-postfix
smtpd_sasl_auth_enable = no
smtpd_sasl_security_options = noanonymous
broken_sasl_auth_clients = no
smtpd_relay_restrictions = permit_mynetworks, permit_sasl_authenticated, reject_unauth_destination
smtpd_recipient_restrictions = check_recipient_access regexp:$pf/etc/recipient_access, permit
EOF
# Nothing chrooted: the sockets and files live under DIR, not under the queue directory.
cat > "$pf/etc/master.cf" <<EOF
$host:$smtp_port inet n - n - - smtpd
$host:$smtp_auth_port inet n - n - - smtpd
  -o smtpd_sasl_auth_enable=yes
  -o smtpd_client_restrictions=permit_sasl_authenticated,reject
$host:$smtp_plain_port inet n - n - - smtpd
  -o smtpd_tls_security_level=none
  -o smtpd_sasl_auth_enable=yes
  -o smtpd_client_restrictions=permit_sasl_authenticated,reject
$host:$smtps_port inet n - n - - smtpd
  -o smtpd_tls_wrappermode=yes
  -o smtpd_sasl_auth_enable=yes
$untrusted_host:$smtps_port inet n - n - - smtpd
  -o smtpd_tls_wrappermode=yes
  -o smtpd_sasl_auth_enable=yes
  -o smtpd_tls_cert_file=$tls/untrusted.crt
  -o smtpd_tls_key_file=$tls/untrusted.key
pickup    unix  n - n 60   1 pickup
cleanup   unix  n - n -    0 cleanup
qmgr      unix  n - n 300  1 qmgr
tlsmgr    unix  - - n 1000? 1 tlsmgr
rewrite   unix  - - n -    - trivial-rewrite
bounce    unix  - - n -    0 bounce
defer     unix  - - n -    0 bounce
trace     unix  - - n -    0 bounce
verify    unix  - - n -    1 verify
flush     unix  n - n 1000? 0 flush
proxymap  unix  - - n -    - proxymap
showq     unix  n - n -    - showq
error     unix  - - n -    - error
retry     unix  - - n -    - error
discard   unix  - - n -    - discard
virtual   unix  - n n -    - virtual
anvil     unix  - - n -    1 anvil
scache    unix  - - n -    1 scache
postlog   unix-dgram n - n - 1 postlogd
EOF
postfix -c "$pf/etc" start < /dev/null > "$pf/start.out" 2>&1 || fail "postfix did not start"

# --- a server that accepts and then never says a word --------------------------------------
# perl-base is part of every Debian system; the accepted sockets are kept so that the client
# waits for a greeting instead of seeing the connection closed.
setsid perl -MIO::Socket::INET -e '
    my $listener = IO::Socket::INET->new(LocalAddr => $ARGV[0], LocalPort => $ARGV[1],
                                         Listen => 64, ReuseAddr => 1) or die "listen: $!";
    my @held;
    while (my $client = $listener->accept) {
        push @held, $client;
        shift @held if @held > 256;
    }' "$host" "$silent_port" < /dev/null > /dev/null 2>&1 &
echo $! > "$dir/silent.pid"

# --- wait until every port answers ---------------------------------------------------------
# A POP3 answer needs a login, an SMTP answer the greeting and a reply to NOOP, so a server
# that accepts but does not yet speak is not taken for ready.
answers() {
    local url=$1
    shift
    curl -s -o /dev/null --max-time 2 --cacert "$dir/ca.crt" "$@" "$url"
}
checks=(
    "answers pop3://$host:$pop3_port/ -u $mailbox_user:$mailbox_password"
    "answers pop3s://$host:$pop3s_port/ -u $mailbox_user:$mailbox_password"
    "answers smtp://$host:$smtp_port/ -X NOOP"
    "answers smtp://$host:$smtp_auth_port/ -X NOOP"
    "answers smtp://$host:$smtp_plain_port/ -X NOOP"
    "answers smtps://$host:$smtps_port/ -X NOOP"
    "answers pop3s://$untrusted_host:$pop3s_port/ -u $mailbox_user:$mailbox_password --cacert $tls/untrusted.crt"
    "answers smtps://$untrusted_host:$smtps_port/ -X NOOP --cacert $tls/untrusted.crt"
    "listening $silent_port"
)
deadline=$((SECONDS + 40))
while [ ${#checks[@]} -gt 0 ]; do
    pending=()
    for check in "${checks[@]}"; do
        $check || pending+=("$check")
    done
    checks=("${pending[@]+"${pending[@]}"}")
    [ ${#checks[@]} -eq 0 ] && break
    [ "$SECONDS" -ge "$deadline" ] && fail "no answer within 40 s from: ${checks[*]}"
    sleep 0.2
done
if listening "$closed_port"; then
    fail "port $closed_port must stay closed for the refusal tests"
fi

# One KEY=value a line, unquoted, so that C++ tests read it without a shell.
cat > "$dir/servers.env" <<EOF
MAIL_HOST=$host
UNTRUSTED_MAIL_HOST=$untrusted_host
POP3_PORT=$pop3_port
POP3S_PORT=$pop3s_port
SMTP_PORT=$smtp_port
SMTP_AUTH_PORT=$smtp_auth_port
SMTP_PLAIN_AUTH_PORT=$smtp_plain_port
POSTFIX_LOG=$pf/postfix.log
SMTPS_PORT=$smtps_port
SILENT_PORT=$silent_port
CLOSED_PORT=$closed_port
MAILBOX_USER=$mailbox_user
MAILBOX_PASSWORD=$mailbox_password
SMTP_USER=$smtp_user
SMTP_PASSWORD=$smtp_password
MAILDIR_NEW=$base/home/sms/Maildir/new
DELIVERED_DIR=$base/delivered
CA_FILE=$dir/ca.crt
UNTRUSTED_CERT_FILE=$dir/untrusted.crt
REFUSED_RECIPIENT_PREFIX=refuse
DEFERRED_RECIPIENT_PREFIX=later
EOF
chmod 644 "$dir/servers.env"
echo "mail servers up; settings in $dir/servers.env"
