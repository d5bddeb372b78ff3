#!/bin/sh
# audstart [WORD]: starts the sound system. Loads the driver, then runs
# audcore in start-up mode with etc/devices.cfg on its standard input and its
# standard error kept as logs/audstart.log. WORD is audcore's option word
# (default -vvv: configuring lines, driver contact and the card report go to
# the log). The exit status is audcore's.
#
# The installation directory comes from the KVLLIBDIR= line of /etc/kvl.conf
# (default /usr/lib/kvl). With KVL_SIMROOT set, /etc and the driver are those
# of that simulated machine and the driver is loaded with kvlsim.
set -u
prog=audstart
word=${1:--vvv}
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${KVL_SIMROOT:-}" ]; then
  echo "$prog: cannot load the sound driver on this system: this build has no kernel driver." >&2
  echo "$prog: set KVL_SIMROOT to a simulated machine made with kvlsim init." >&2
  exit 1
fi

conf=$KVL_SIMROOT/etc/kvl.conf
dir=/usr/lib/kvl
if [ -r "$conf" ]; then
  # The first KVLLIBDIR= line wins; its value is taken verbatim.
  line=$(grep -m 1 '^KVLLIBDIR=' "$conf")
  value=${line#KVLLIBDIR=}
  [ -n "$value" ] && dir=$value
fi

if [ ! -x "$dir/bin/audcore" ]; then
  echo "$prog: $dir/bin/audcore not found (KVLLIBDIR in $conf)" >&2
  exit 1
fi

"$here/kvlsim" load "$KVL_SIMROOT" || {
  echo "$prog: loading the sound driver failed" >&2
  exit 1
}

mkdir -p "$dir/logs" || exit 1
config=$dir/etc/devices.cfg
[ -r "$config" ] || config=/dev/null
"$dir/bin/audcore" "$word" "$dir" < "$config" 2> "$dir/logs/audstart.log"
