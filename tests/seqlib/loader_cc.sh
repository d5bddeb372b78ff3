#!/usr/bin/env bash
# loader_cc.sh BUILD_DIR CC LOADER_C
# Installs KVLlib into a temporary folder and builds LOADER_C with the C
# compiler alone twice: with the stand-in loader (pkg-config's -lkvlgus) and
# with a loader of its own (-DOWN_LOADER, no -lkvlgus). Both run against a
# sequencer with one wave-table synthesizer; what the loaders did is checked.
set -euo pipefail
build=$1 cc=$2 source=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/kvl" --component kvllib >/dev/null
export PKG_CONFIG_PATH="$tmp/kvl/lib/pkgconfig"
# -Werror: a call without a prototype in the header, or a loader that does not
# match it, fails the build.
strict=(-std=c11 -Wall -Wextra -Werror -Wmissing-prototypes -Wstrict-prototypes)
"$cc" "${strict[@]}" -o "$tmp/standin" "$source" $(pkg-config --cflags --libs kvllib)
"$cc" "${strict[@]}" -DOWN_LOADER -o "$tmp/own" "$source" \
  $(pkg-config --cflags kvllib) -L"$tmp/kvl/lib" -lKVLlib

# A simulated sequencer (the seam's node file) whose only synthesizer is "GUS".
machine=$tmp/machine
mkdir -p "$machine/dev" "$machine/etc"
printf 'KVLSIM-CHR 14 1\n' >"$machine/dev/sequencer"
chmod 0666 "$machine/dev/sequencer"
printf 'GUS\n' >"$machine/sequencer.synths"

fail() { echo "$*"; exit 1; }

out=$(KVL_SIMROOT=$machine KVL_GUS_LOG=$tmp/gus.log "$tmp/standin" 2>"$tmp/err")
[ -s "$tmp/err" ] && { cat "$tmp/err"; fail "stand-in: unexpected messages"; }
log=$(sed -E 's/^(gus[a-z]+) [0-9]+ /\1 FD /' "$tmp/gus.log")
[ "$log" = $'gusinit FD 0\ngusload FD 0 0 5\ngusload FD 0 0 163\ngusload FD 0 0 7' ] \
  || fail "stand-in log: $log"

out=$(KVL_SIMROOT=$machine "$tmp/own" 2>"$tmp/err")
[ -s "$tmp/err" ] && { cat "$tmp/err"; fail "own loader: unexpected messages"; }
[ "$out" = $'gusinit 0\ngusload 0 5\ngusload 0 163\ngusload 0 7' ] || fail "own loader said: $out"
capture=$(od -An -tx1 "$machine/sequencer.capture" | tr -s ' \n' ' ')
[ "$capture" = " 47 00 05 00 47 00 a3 00 47 00 07 00 " ] || fail "capture: $capture"
echo "loaders OK"
