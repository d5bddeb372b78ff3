#!/bin/sh
# audstop: stops the sound system by unloading the driver, which forgets its
# configuration and cards. With KVL_SIMROOT set, the simulated machine's
# driver is unloaded with kvlsim.
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
