#!/usr/bin/env bash
# Runs one test command with a private print service: its own cupsd on a
# local socket, with one PDF printer queue (cups-pdf) as the default
# destination.
#   cups-session.sh COMMAND [ARGS...]
# cupsd and the PDF backend need root. When the service cannot be started the
# command still runs, with QUILLET_CUPS_SKIP saying why, so that the test can
# skip with that reason. The PDF printer writes into the PDF folder of the
# submitting user's home directory (cups-pdf's "Out ${HOME}/PDF").
set -u
# cupsd and lpadmin live in the system folders.
PATH="$PATH:/usr/sbin:/sbin"

skip() {
    export QUILLET_CUPS_SKIP="$1"
    exec "${@:2}"
}

[ "$(id -u)" -eq 0 ] || skip "the print service needs root to start cupsd and cups-pdf" "$@"
for tool in cupsd lpadmin lpstat; do
    command -v "$tool" >/dev/null 2>&1 ||
        skip "$tool is not installed (packages cups and printer-driver-cups-pdf)" "$@"
done
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
[ -x /usr/lib/cups/backend/cups-pdf ] && [ -f "$ppd" ] ||
    skip "the cups-pdf printer driver is not installed (printer-driver-cups-pdf)" "$@"

# The service's filters run as an unprivileged user: its folder is readable.
dir=$(mktemp -d /tmp/quillet-cups.XXXXXX)
chmod 755 "$dir"
mkdir -p "$dir/etc/ppd" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log"
chmod 755 "$dir/etc" "$dir/cache" "$dir/state" "$dir/log"
chmod 1777 "$dir/spool/tmp"
chmod 710 "$dir/spool"
chgrp lp "$dir/spool" 2>/dev/null || true
cupsd_pid=
cleanup() {
    [ -n "$cupsd_pid" ] && kill "$cupsd_pid" 2>/dev/null && wait "$cupsd_pid" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
CONF
cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
Browsing No
DefaultAuthType None
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF

cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
cupsd_pid=$!
export CUPS_SERVER="$dir/cups.sock"
started=0
for _ in $(seq 1 200); do
    if lpstat -r 2>/dev/null | grep -q 'is running'; then
        started=1
        break
    fi
    kill -0 "$cupsd_pid" 2>/dev/null || break
    sleep 0.05
done
if [ "$started" != 1 ]; then
    cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null
    cleanup
    trap - EXIT
    unset CUPS_SERVER
    skip "cupsd did not start" "$@"
fi
# The PostScript step renders with poppler's cairo backend: Ghostscript's
# rendering of the embedded font subsets prints the same page, but drops the
# character mapping, so the text of the PDF could not be read back.
if ! lpadmin -p QuilletPDF -E -v cups-pdf:/ -P "$ppd" -o pdftops-renderer-default=pdftocairo ||
    ! lpadmin -d QuilletPDF; then
    cleanup
    trap - EXIT
    unset CUPS_SERVER
    skip "the PDF printer queue could not be added" "$@"
fi
export QUILLET_CUPS_LOG="$dir/log/error_log"

"$@"
