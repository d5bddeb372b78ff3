#!/usr/bin/env bash
# example_cc.sh BUILD_DIR CC KVLSIM EXAMPLE_C
# Installs KVLlib (library, stand-in loader, header, pkg-config file, patch
# files) into a temporary folder, builds the example with the C compiler alone
# from what was installed, and runs it on the demo machine: the instrument and
# the drum reach the FM synthesizer before the four events.
set -euo pipefail
build=$1 cc=$2 kvlsim=$3 example=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/kvl" --component kvllib >/dev/null
for f in lib/libKVLlib.a lib/libkvlgus.a include/kvllib.h lib/pkgconfig/kvllib.pc \
         etc/std.o3 etc/drums.o3; do
  [ -f "$tmp/kvl/$f" ] || { echo "not installed: $f"; exit 1; }
done

flags=$(PKG_CONFIG_PATH="$tmp/kvl/lib/pkgconfig" pkg-config --cflags --libs kvllib)
# No C++ runtime on the link line: a library that needed one would not link.
"$cc" -Wall -Wextra -Werror -o "$tmp/seq_example" "$example" $flags

"$kvlsim" init "$tmp/machine" --kvllibdir "$tmp/kvl" >/dev/null
[ -e "$tmp/machine/dev/sequencer" ] || "$kvlsim" mknod "$tmp/machine" /dev/sequencer 14 1 0666
out=$(KVL_SIMROOT="$tmp/machine" "$tmp/seq_example" 2>"$tmp/err")
if [ -s "$tmp/err" ]; then
  echo "unexpected messages:"; cat "$tmp/err"; exit 1
fi
echo "$out"
grep -qx "synthesizer 0: FM patches" <<<"$out" || { echo "demo's OPL not classified"; exit 1; }

# Two 40-byte patch records (instrument 0, drum 35 as 163), then 4 events.
capture="$tmp/machine/sequencer.capture"
size=$(stat -c %s "$capture")
[ "$size" -eq $((2 * 40 + 4 * 8)) ] || { echo "capture holds $size bytes"; exit 1; }
head=$(od -An -tx1 -N8 "$capture" | tr -s ' ')
[ "$head" = " fd 03 00 00 00 00 00 00" ] && [ "$(od -An -tx1 -j44 -N1 "$capture" | tr -d ' ')" = a3 ] \
  || { echo "patch records:"; od -An -tx1 -N80 "$capture"; exit 1; }
echo "example OK"
