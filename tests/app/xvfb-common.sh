# Shared by the scripts that start the real program: a scratch folder, a virtual X display of
# our own (no window manager, no notification area), and cleanup of everything started.
set -u
work="$(mktemp -d /tmp/tarvogate-app-XXXXXX)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    for f in "$work"/*.txt; do [ -f "$f" ] && { echo "--- $(basename "$f"):"; cat "$f"; }; done
    exit 1
}

mkdir -p "$work/xdg-runtime" && chmod 700 "$work/xdg-runtime"
export XDG_RUNTIME_DIR="$work/xdg-runtime"
unset QT_QPA_PLATFORM

for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
export DISPLAY="$display"

# wait_for FILE TEXT [TRIES]: polls a log file for a text (50 ms a try).
wait_for() {
    for _ in $(seq 1 "${3:-300}"); do
        grep -qF "$2" "$1" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}
