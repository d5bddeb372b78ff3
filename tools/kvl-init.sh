#!/bin/sh
# kvl {start|stop|restart|status}: the boot script of one installation,
# installed as DIR/etc/init.d/kvl.
#
#   start    runs DIR/bin/audstart          exit status: audstart's
#   stop     runs DIR/bin/audstop           exit status: audstop's
#   restart  audstop, then audstart         exit status: audstop's if it
#            failed (nothing is started), else audstart's
#   status   exit status 0 for AUDSTART_OK, 1 for any other word, 3 when
#            there is no DIR/.status (never started)
#
# Each verb ends with one line "Kelvane: WORD", WORD being the first line of
# DIR/.status, or "Kelvane: not started (no DIR/.status)". Anything else
# prints a usage line on standard error and exits with status 2.
#
# DIR is the folder two levels above this script, so the script works
# wherever the package is installed. A symbolic link to the script (e.g.
# /etc/init.d/kvl) is followed first. audstart and audstop act on the
# installation that /etc/kvl.conf names, which should be this one; with
# KVL_SIMROOT set they act on that simulated machine.
set -u

self=$0
hops=0
while [ -L "$self" ] && [ "$hops" -lt 40 ]; do
  link=$(readlink "$self") || break
  case $link in
    /*) self=$link ;;
    *) case $self in */*) self=${self%/*}/$link ;; *) self=$link ;; esac ;;
  esac
  hops=$((hops + 1))
done
case $self in
  */*) here=${self%/*} ;;
  *) here=. ;;
esac
dir=$(cd "$here/../.." && pwd) || exit 1

# Prints the status line; returns 0 for AUDSTART_OK, 1 for another word, 3
# without a status file.
report() {
  if [ ! -e "$dir/.status" ]; then
    echo "Kelvane: not started (no $dir/.status)"
    return 3
  fi
  word=
  read -r word < "$dir/.status" || [ -n "$word" ] || word=
  echo "Kelvane: $word"
  [ "$word" = AUDSTART_OK ]
}

case ${1:-} in
  start)
    "$dir/bin/audstart"
    rc=$?
    report
    exit $rc
    ;;
  stop)
    "$dir/bin/audstop"
    rc=$?
    report
    exit $rc
    ;;
  restart)
    "$dir/bin/audstop"
    rc=$?
    if [ $rc -eq 0 ]; then
      "$dir/bin/audstart"
      rc=$?
    fi
    report
    exit $rc
    ;;
  status)
    report
    exit $?
    ;;
  *)
    echo "Usage: $0 {start|stop|restart|status}" >&2
    exit 2
    ;;
esac
