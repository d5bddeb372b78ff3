#!/bin/sh
# audstart [WORD]: starts the sound system. Loads the driver, then runs
# audcore in start-up mode with etc/devices.cfg on its standard input and its
# standard error kept as logs/audstart.log. WORD is audcore's option word
# (default -vvv: configuring lines, driver contact and the card report go to
# the log). The exit status is audcore's; when audcore leaves any status word
# but AUDSTART_OK, one console line points to the log.
#
# The installation directory comes from the first absolute KVLLIBDIR= line of
# /etc/kvl.conf (default /usr/lib/kvl), read as KVLlib reads it. With KVL_SIMROOT set, /etc and the driver are those
# of that simulated machine and the driver is loaded with kvlsim.
set -u
prog=audstart
case ${1:-} in
  --help)
    cat <<'EOF'
Usage: audstart [WORD]
       audstart --help | --version
Starts the Kelvane sound system: loads the driver, then runs audcore in
start-up mode with DIR/etc/devices.cfg on its standard input and its log in
DIR/logs/audstart.log. WORD is audcore's option word (default -vvv); DIR
comes from the KVLLIBDIR= line of /etc/kvl.conf.
EOF
    exit 0 ;;
  --version) echo "$prog (Kelvane) @PROJECT_VERSION@"; exit 0 ;;
esac
word=${1:--vvv}
# The folder this script lies in (kvlsim and kvlconf.sh lie beside it).
case $0 in
  */*) here=${0%/*} ;;
  *) here=$(command -v -- "$0") && here=${here%/*} ;;
esac
. "$here/kvlconf.sh"

if [ -z "${KVL_SIMROOT:-}" ]; then
  echo "$prog: cannot load the sound driver on this system: this build has no kernel driver." >&2
  echo "$prog: set KVL_SIMROOT to a simulated machine made with kvlsim init." >&2
  exit 1
fi

conf=$KVL_SIMROOT/etc/kvl.conf
kvl_install_dir "$conf"

if [ ! -x "$dir/bin/audcore" ]; then
  echo "$prog: $dir/bin/audcore not found (KVLLIBDIR in $conf)" >&2
  exit 1
fi

# The simulated driver keeps sequencer.synths exactly while it is loaded:
# then there is nothing to load and no process is started for it.
if [ ! -e "$KVL_SIMROOT/sequencer.synths" ]; then
  "$here/kvlsim" load "$KVL_SIMROOT" || {
    echo "$prog: loading the sound driver failed" >&2
    exit 1
  }
fi

[ -d "$dir/logs" ] || mkdir -p "$dir/logs" || exit 1
log=$dir/logs/audstart.log
config=$dir/etc/devices.cfg
# A missing devices.cfg is an empty configuration. One that is there but
# cannot be read is one too, and the log starts with "PATH: error text".
# Only a file that the shell cannot vouch for is tried with cat, for the
# error text.
input=$config
problem=
if [ ! -e "$config" ]; then
  input=/dev/null
elif [ -f "$config" ] && [ -r "$config" ]; then
  :
elif ! problem=$(cat -- "$config" 2>&1 >/dev/null); then
  input=/dev/null
  problem="$config: ${problem##*: }"
fi
# The log is made afresh and never written through a link put in its place;
# one that cannot be made is said here, and start-up runs without it.
kvl_log_open "$log" new || exec 3>/dev/null
{
  [ -z "$problem" ] || printf '%s\n' "$problem" >&2
  "$dir/bin/audcore" "$word" "$dir" < "$input" 3>&-
} 2>&3
status=$?
exec 3>&-

# Whatever the reason (a refused card, another driver version, no cards),
# the console says when the sound system did not come up.
result=
[ -r "$dir/.status" ] && IFS= read -r result < "$dir/.status"
[ "$result" = AUDSTART_OK ] || echo "Kelvane did not start: see $log"
exit $status
