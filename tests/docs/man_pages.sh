#!/bin/sh
# man_pages.sh BUILD_DIR GROFF
# Installs the build into a temporary folder and checks that every man page
# is in place under share/man and that groff reads each one, with every
# warning on, without a word: the pages that only name another (.so) are read
# from share/man, as man(1) reads them.
set -eu
build=$1 groff=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/kvl" >/dev/null
cd "$tmp/kvl/share/man"
status=0
for page in man1/kvlsim.1 man3/kvllib.3 man5/config.dat.5 man5/devices.cfg.5 \
            man5/kvl-settings.5 man5/modules.cfg.5 man8/audcore.8 man8/audpanel.8 \
            man8/audstart.8 man8/audstop.8 man8/kvlcfg.8; do
  if [ ! -f "$page" ]; then
    echo "not installed: share/man/$page"
    status=1
    continue
  fi
  out=$("$groff" -man -Tutf8 -ww -z "$page" 2>&1) || { echo "$page: groff failed"; status=1; }
  if [ -n "$out" ]; then
    echo "$page:"
    echo "$out"
    status=1
  fi
  # A page that names another must reach text of its own.
  words=$("$groff" -man -Tutf8 "$page" 2>/dev/null | wc -w)
  [ "$words" -gt 100 ] || { echo "$page: only $words words"; status=1; }
done
exit $status
