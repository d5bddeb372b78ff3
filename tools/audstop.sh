#!/bin/sh
# audstop: stops the sound system by unloading the driver, which forgets its
# configuration and cards, and writes AUDSTOP into .status of the
# installation that /etc/kvl.conf names (KVLLIBDIR=, default /usr/lib/kvl),
# so the status word no longer says the sound system runs. With KVL_SIMROOT
# set, the simulated machine's driver is unloaded with kvlsim and its
# etc/kvl.conf is read.
set -u
prog=audstop
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${KVL_SIMROOT:-}" ]; then
  echo "$prog: cannot unload the sound driver on this system: this build has no kernel driver." >&2
  echo "$prog: set KVL_SIMROOT to a simulated machine made with kvlsim init." >&2
  exit 1
fi

"$here/kvlsim" unload "$KVL_SIMROOT" || {
  echo "$prog: unloading the sound driver failed" >&2
  exit 1
}

conf=$KVL_SIMROOT/etc/kvl.conf
dir=/usr/lib/kvl
if [ -r "$conf" ]; then
  # The first KVLLIBDIR= line wins; its value is taken verbatim (as audstart).
  line=$(grep -m 1 '^KVLLIBDIR=' "$conf")
  value=${line#KVLLIBDIR=}
  [ -n "$value" ] && dir=$value
fi

# Only an installation gets the word. It is replaced atomically, as audcore
# does: a reader never sees a half-written word. A failure is reported and
# the driver stays unloaded, so the exit status is still 0.
if [ -x "$dir/bin/audcore" ]; then
  tmp=$dir/.status.tmp.$$
  if ! { printf 'AUDSTOP\n' > "$tmp" && mv -f "$tmp" "$dir/.status"; }; then
    rm -f "$tmp"
    echo "$dir/.status: Cannot update install status" >&2
  fi
fi
exit 0
