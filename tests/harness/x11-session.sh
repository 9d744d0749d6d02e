#!/usr/bin/env bash
# Runs one test command in a private, throw-away desktop session:
#   x11-session.sh [--no-display | --no-tray] COMMAND [ARGS...]
# Every test gets a fresh HOME and XDG_CONFIG_HOME, so no test reads or writes
# a real user's settings. Unless --no-display is given, it also gets its own
# Xvfb server on a free display, an EWMH window manager (openbox) and an
# XEmbed notification area (trayer). With --no-tray the session starts without
# the notification area; the command can start it later by running the
# program named in QUILLET_START_TRAY (it runs in the foreground until
# killed). Everything started here is stopped when the command ends.
set -u

with_display=1
with_tray=1
case "${1:-}" in
--no-display)
    with_display=0
    shift
    ;;
--no-tray)
    with_tray=0
    shift
    ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-test.XXXXXX")
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_RUNTIME_DIR="$work/run"
export XDG_CACHE_HOME="$HOME/.cache"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$XDG_CACHE_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
# No session bus: the tray icon must dock in the notification area of this session.
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER
export QT_QPA_PLATFORM=xcb
[ "$with_display" = 1 ] || export QT_QPA_PLATFORM=offscreen
export NO_AT_BRIDGE=1
here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

wait_for() { # wait_for SECONDS COMMAND...: poll until COMMAND succeeds
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            return 1
        fi
        sleep 0.05
    done
}

if [ "$with_display" = 1 ]; then
    # An X11 session, whatever session the tests were started from.
    unset WAYLAND_DISPLAY XDG_SESSION_TYPE
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset +extension XTEST \
        >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    exec 3>&-
    if ! wait_for 20 grep -q '[0-9]' "$work/display"; then
        echo "x11-session: Xvfb did not start" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"

    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    if ! wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'; then
        echo "x11-session: the window manager did not start" >&2
        exit 1
    fi

    export QUILLET_START_TRAY="$work/start-tray"
    cat >"$QUILLET_START_TRAY" <<'TRAY'
#!/bin/sh
exec trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
    --SetPartialStrut true --expand true --transparent false --tint 0xc0c0c0
TRAY
    chmod +x "$QUILLET_START_TRAY"
    if [ "$with_tray" = 1 ]; then
        "$QUILLET_START_TRAY" >"$work/trayer.log" 2>&1 &
        pids+=($!)
        if ! wait_for 20 xdotool search --class trayer; then
            echo "x11-session: the notification area did not start" >&2
            exit 1
        fi
    fi
fi

"$@"
