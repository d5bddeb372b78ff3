#!/bin/sh
# audstop: stops the sound system by unloading the driver, which forgets its
# configuration and cards, and writes AUDSTOP into .status of the
# installation that /etc/kvl.conf names (as audstart reads it),
# so the status word no longer says the sound system runs. With KVL_SIMROOT
# set, the simulated machine's driver is unloaded with kvlsim and its
# etc/kvl.conf is read.
set -u
prog=audstop
case ${1:-} in
  --help)
    cat <<'EOF'
Usage: audstop
       audstop --help | --version
Stops the Kelvane sound system: unloads the driver, which forgets its
configuration and cards, and writes AUDSTOP into DIR/.status of the
installation that /etc/kvl.conf names.
EOF
    exit 0 ;;
  --version) echo "$prog (Kelvane) @PROJECT_VERSION@"; exit 0 ;;
esac
case $0 in
  */*) here=${0%/*} ;;
  *) here=$(command -v -- "$0") && here=${here%/*} ;;
esac
. "$here/kvlconf.sh"

if [ -z "${KVL_SIMROOT:-}" ]; then
  echo "$prog: cannot unload the sound driver on this system: this build has no kernel driver." >&2
  echo "$prog: set KVL_SIMROOT to a simulated machine made with kvlsim init." >&2
  exit 1
fi

"$here/kvlsim" unload "$KVL_SIMROOT" || {
  echo "$prog: unloading the sound driver failed" >&2
  exit 1
}

kvl_install_dir "$KVL_SIMROOT/etc/kvl.conf"

# Only an installation gets the word. It is replaced atomically, as audcore
# does: a reader never sees a half-written word. The temporary file gets a
# name nobody can guess (mktemp), so nothing put there beforehand is in the
# way or written through. A failure is reported and the driver stays
# unloaded, so the exit status is still 0.
if [ -x "$dir/bin/audcore" ]; then
  tmp=
  if ! { tmp=$(mktemp "$dir/.status.tmp.XXXXXX") && printf 'AUDSTOP\n' > "$tmp" &&
         chmod 644 "$tmp" && mv -f "$tmp" "$dir/.status"; }; then
    [ -z "$tmp" ] || rm -f "$tmp"
    echo "$dir/.status: Cannot update install status" >&2
  fi
fi
exit 0
