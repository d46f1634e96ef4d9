#!/bin/bash
# Stops what start.sh started under DIR and takes the test CA out of the system trust store.
# Safe to run again, and after a start that failed half-way.
# Usage: stop.sh DIR
set -uo pipefail

[ "$(id -u)" -eq 0 ] || exec sudo -n "$0" "$@"

dir=${1:?usage: stop.sh DIR}
[ -d "$dir" ] && dir=$(cd "$dir" && pwd)
status=0
# start.sh puts the servers' files under /tmp when DIR is not passable for their users.
base=$dir
[ -L "$dir/runtime" ] && base=$(readlink "$dir/runtime")

# A PID file may outlive its process and the number be reused: only a process of the expected
# program is signalled.
pid_of() {
    local file=$1 program=$2 pid
    pid=$(head -n 1 "$file" 2>/dev/null | tr -dc 0-9)
    [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$program" ] && echo "$pid"
}

# Waits up to the seconds given for a process to end, then kills it.
end_process() {
    local pid=$1 seconds=$2 name=$3
    local deadline=$((SECONDS + seconds))
    while [ -d "/proc/$pid" ]; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "$name (pid $pid) did not stop within $seconds s; killing it" >&2
            kill -KILL "$pid" 2>/dev/null
            sleep 0.2
            status=1
            break
        fi
        sleep 0.1
    done
}

# postfix first: while dovecot's auth socket is gone, smtpd accepts but never greets.
pid=$(pid_of "$base/postfix/queue/pid/master.pid" master)
if [ -n "$pid" ]; then
    postfix -c "$base/postfix/etc" stop > /dev/null 2>&1 || kill -TERM "$pid" 2>/dev/null
    end_process "$pid" 15 "postfix"
fi

# dovecot takes a few seconds to finish, and refuses to start again while it is still there.
pid=$(pid_of "$base/dovecot/run/master.pid" dovecot)
if [ -n "$pid" ]; then
    kill -TERM "$pid" 2>/dev/null
    end_process "$pid" 15 "dovecot"
fi

pid=$(pid_of "$dir/silent.pid" perl)
if [ -n "$pid" ]; then
    kill -TERM "$pid" 2>/dev/null
    end_process "$pid" 5 "the silent server"
fi
rm -f "$dir/silent.pid"

# update-ca-certificates only rebuilds the bundle when a local CA file goes away: it leaves
# the links in /etc/ssl/certs behind and never tells its hooks (the Java keystore), so the
# removal it would do for a listed CA is done here.
ca=/usr/local/share/ca-certificates/tarvogate-test-ca.crt
pem=/etc/ssl/certs/tarvogate-test-ca.pem
if [ -e "$ca" ] || [ -L "$pem" ]; then
    rm -f "$ca"
    removed=
    if [ -L "$pem" ]; then
        rm -f "$pem"
        find /etc/ssl/certs -maxdepth 1 -lname "$(basename "$pem")" -delete
        removed=1
    fi
    update-ca-certificates > /dev/null 2>&1 || { echo "update-ca-certificates failed" >&2; status=1; }
    if [ -n "$removed" ]; then
        for hook in /etc/ca-certificates/update.d/*; do
            [ -x "$hook" ] || continue
            echo "-$pem" | "$hook" > /dev/null 2>&1 || { echo "$hook failed" >&2; status=1; }
        done
    fi
fi

last_run=/tmp/tarvogate-mail-servers.last
[ "$(cat "$last_run" 2>/dev/null)" = "$dir" ] && rm -f "$last_run"
exit $status
