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

# The installed header is C89: a program queuing events through the header's
# inline forms, and one with KVL_NO_INLINE that calls the functions (also by
# address), build with -std=c89 -pedantic-errors and link.
cat >"$tmp/c89.c" <<'C89'
#include <kvllib.h>
#include <string.h>
static void (*advance)(int, int, unsigned char *, int) = KVL_seq_advbuf;
int main(void)
{
    static const unsigned char event[4] = {0x93, 0, 60, 100};
    int fd = kvllib_open("/dev/sequencer", 1, 0);
    KVL_seq_needbuf(4, fd, _seqbuf, _seqbuflen);
    memcpy(_seqbuf + _seqbufptr, event, 4);
    KVL_seq_advbuf(4, fd, _seqbuf, _seqbuflen);
    advance(0, fd, _seqbuf, _seqbuflen);
    KVL_seqbuf_dump(fd, _seqbuf, _seqbuflen);
    return 0;
}
C89
for form in "" -DKVL_NO_INLINE; do
  "$cc" -std=c89 -pedantic-errors -Wall -Wextra -Werror $form -o "$tmp/c89" "$tmp/c89.c" $flags
done

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
