#!/bin/sh
# mixset [-q] [CHANNEL=LEVEL ...]: the mixer-setting helper that etc/mixer.map
# runs once the cards are up ("!mixset ..."). It records each request in
# logs/mixset.log of the installation directory it lives in; without -q it
# also prints it. It changes nothing else.
set -u
quiet=0
if [ "${1:-}" = "-q" ]; then
  quiet=1
  shift
fi
here=$(dirname "$0")
. "$here/kvlconf.sh" || exit 1
dir=$(cd "$here/.." && pwd)
for arg in "$@"; do
  case $arg in
    *=*) ;;
    *) echo "mixset: expected CHANNEL=LEVEL, got '$arg'" >&2; exit 2 ;;
  esac
done
mkdir -p "$dir/logs" 2>/dev/null
kvl_log_open "$dir/logs/mixset.log" || exit 1
echo "mixset $*" >&3 || exit 1
[ "$quiet" = 1 ] || echo "mixset $*"
exit 0
