# Shared by the scripts that start the real program: a scratch folder, a virtual X display of
# our own (no window manager, no notification area), and cleanup of everything started.
set -u
work="$(mktemp -d /tmp/tarvogate-app-XXXXXX)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
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

# Xvfb picks a free display itself and writes its number once it listens, so scripts that
# run at the same time never share (and kill) one display.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

# wait_for FILE TEXT [TRIES]: polls a log file for a text (50 ms a try).
wait_for() {
    for _ in $(seq 1 "${3:-300}"); do
        grep -qF "$2" "$1" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}
