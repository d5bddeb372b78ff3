#!/bin/sh
# kvlupdate VERSION: installs a newer Kelvane package into the installation
# this program lies in (the folder above its bin/), then starts the drivers
# with bin/audstart (the configurator stopped them before running it).
# VERSION is the version installed now, X.Y.Z.
#
# The package comes from KVL_UPDATE_SOURCE, else from the first
# UPDATE_SOURCE= line of etc/kvlupdate.conf (a relative path there is taken
# from the installation directory): a folder or a .tar.gz file, named by a
# path or a file: URL, that holds VERSION (X.Y.Z) and files under bin/, etc/
# and docs/, at its top or in its one top folder.
#
# A package that is not newer installs nothing. A newer one is unpacked into
# a staging folder inside the installation and checked whole before anything
# is replaced (VERSION, only bin/, etc/ and docs/, no "..", no links or
# special files, nothing read in error, no file where the installation has a
# folder); then each file is renamed into place. The administrator's files
# are never replaced: the package's copy goes beside them as FILE.new.
#
# Every step is printed and appended to logs/kvlupdate.log. Exit status 0
# when the package was installed or was not newer and the drivers started,
# 1 otherwise (the reason is printed), 2 for bad usage (nothing done).
set -u
prog=kvlupdate
case ${1:-} in
  --help)
    cat <<'EOF'
Usage: kvlupdate VERSION
       kvlupdate --help | --version
Installs a newer Kelvane package into the installation this program lies in,
then starts the drivers with bin/audstart. VERSION is the version installed
now, X.Y.Z. The package comes from KVL_UPDATE_SOURCE, else from the
UPDATE_SOURCE= line of etc/kvlupdate.conf: a folder or a .tar.gz file.
EOF
    exit 0 ;;
  --version) echo "$prog (Kelvane) @PROJECT_VERSION@"; exit 0 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
dir=$(dirname "$here")
log=$dir/logs/kvlupdate.log

# The files the administrator or the configurator and control panel write.
ADMIN_FILES="etc/devices.cfg etc/modules.cfg etc/options.cfg etc/mixer.map etc/dspdevs.map
etc/kvlupdate.conf"

# The log, opened once on descriptor 3 (kvl_log_open); without it notes go
# nowhere.
log_open=
note() { [ -z "$log_open" ] || printf '%s\n' "$*" >&3; }
say() { printf '%s\n' "$*"; note "$*"; }
complain() { printf '%s: %s\n' "$prog" "$*" >&2; note "Error: $*"; }

# X.Y.Z, each field 1 to 9 digits.
is_version() {
  case $1 in
    *[!0-9.]* | .* | *. | *..* | *.*.*.* | *[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]*)
      return 1 ;;
    *.*.*) return 0 ;;
  esac
  return 1
}

# A version field as a number: leading zeros would make it octal.
field() {
  n=${1#"${1%%[!0]*}"}
  echo "${n:-0}"
}

# newer A B: A is a later version than B, compared field by field.
newer() {
  a=$1 b=$2
  for _ in 1 2 3; do
    x=$(field "${a%%.*}") y=$(field "${b%%.*}")
    [ "$x" -gt "$y" ] && return 0
    [ "$x" -lt "$y" ] && return 1
    a=${a#*.} b=${b#*.}
  done
  return 1
}

is_admin_file() {
  for f in $ADMIN_FILES; do [ "$1" = "$f" ] && return 0; done
  return 1
}

status=0
stage=

# Always the last step: the drivers are started whatever happened before.
finish() {
  [ -n "$stage" ] && rm -rf "$stage"
  say "Starting the drivers: $dir/bin/audstart"
  out=$("$dir/bin/audstart" 2>&1 3>&-)
  rc=$?
  [ -n "$out" ] && say "$out"
  word=
  [ -r "$dir/.status" ] && IFS= read -r word < "$dir/.status"
  if [ "$rc" -eq 0 ] && [ "$word" = AUDSTART_OK ]; then
    say "The drivers are running (AUDSTART_OK)."
  else
    complain "the drivers did not start (audstart status $rc, status word ${word:-none}): see $dir/logs/audstart.log"
    status=1
  fi
  exit $status
}

# A refused package: nothing has been replaced.
refuse() {
  complain "the package is damaged: $*; nothing was replaced"
  status=1
  finish
}

if [ $# -ne 1 ] || ! is_version "$1"; then
  echo "Usage: $prog VERSION   (the version installed now, X.Y.Z)" >&2
  exit 2
fi
current=$1
mkdir -p "$dir/logs" 2>/dev/null
. "$here/kvlconf.sh" || exit 1
kvl_log_open "$log" && log_open=1
note "== $(date -u '+%Y-%m-%d %H:%M:%S UTC') $prog $current in $dir"
trap 'exit 1' HUP INT TERM
trap '[ -n "$stage" ] && rm -rf "$stage"' EXIT

# --- where the package is ---
source=${KVL_UPDATE_SOURCE:-}
if [ -z "$source" ] && [ -r "$dir/etc/kvlupdate.conf" ]; then
  source=$(sed -n '/^UPDATE_SOURCE=/{s///p;q;}' "$dir/etc/kvlupdate.conf")
  case $source in
    '' | /* | file:*) ;;
    *) source=$dir/$source ;;
  esac
fi
if [ -z "$source" ]; then
  complain "no update source: set UPDATE_SOURCE= in $dir/etc/kvlupdate.conf (or KVL_UPDATE_SOURCE)"
  status=1
  finish
fi
case $source in
  file://localhost/*) path=${source#file://localhost} ;;
  file:///*) path=${source#file://} ;;
  file:/*) path=${source#file:} ;;
  [A-Za-z]*://*)
    complain "cannot fetch $source: the source must be a folder or a .tar.gz file (a path or a file: URL)"
    status=1
    finish ;;
  *) path=$source ;;
esac
say "Update source: $source"

# --- unpacking into the staging folder ---
# Staging folders of runs that were killed are removed first. A staging
# folder is named .kvlupdate.PID.XXXXXX (mktemp), so no name can be taken
# beforehand.
for old in "$dir"/.kvlupdate.*; do
  [ -d "$old" ] || continue
  old_pid=${old#"$dir"/.kvlupdate.}
  kill -0 "${old_pid%%.*}" 2>/dev/null || rm -rf "$old"
done
if ! stage=$(mktemp -d "$dir/.kvlupdate.$$.XXXXXX") || ! mkdir "$stage/package"; then
  complain "cannot make the staging folder in $dir"
  status=1
  finish
fi
pkg=$stage/package
if [ -d "$path" ]; then
  cp -R -P "$path/." "$pkg" || refuse "cannot read $path"
elif [ -f "$path" ] && case $path in *.tar.gz | *.tgz) true ;; *) false ;; esac; then
  names=$(tar -tzf "$path") || refuse "cannot read $path"
  if printf '%s\n' "$names" | grep -q -E '^/|(^|/)\.\.(/|$)'; then
    refuse "it names a path outside its folders"
  fi
  tar -xzf "$path" -C "$pkg" --no-same-owner || refuse "cannot unpack $path"
elif [ -e "$path" ]; then
  complain "$path is neither a folder nor a .tar.gz file"
  status=1
  finish
else
  complain "$path: no such file or folder"
  status=1
  finish
fi

# The package's top, or its one top folder.
root=$pkg
if [ ! -e "$root/VERSION" ] && [ "$(find "$pkg" -mindepth 1 -maxdepth 1 | wc -l)" -eq 1 ]; then
  for top in "$pkg"/*; do
    [ -d "$top" ] && [ ! -L "$top" ] && [ -e "$top/VERSION" ] && root=$top
  done
fi
if [ ! -f "$root/VERSION" ] || [ -L "$root/VERSION" ]; then
  refuse "no VERSION file"
fi
new=
IFS= read -r new < "$root/VERSION"
is_version "$new" || refuse "VERSION does not say X.Y.Z"
if ! newer "$new" "$current"; then
  say "The package holds Kelvane $new."
  say "Kelvane $current is up to date."
  finish
fi
say "Installing Kelvane $new over $current"

# --- checking the whole package before anything is replaced ---
(cd "$root" && find . ! -name . -print) > "$stage/entries" || refuse "cannot read the unpacked files"
while IFS= read -r e; do
  rel=${e#./}
  case $rel in
    VERSION | bin | etc | docs) ;;
    bin/* | etc/* | docs/*) ;;
    *) refuse "$rel is outside bin/, etc/ and docs/" ;;
  esac
  src=$root/$rel
  dest=$dir/$rel
  if [ -L "$src" ]; then
    refuse "$rel is a symbolic link"
  elif [ -d "$src" ]; then
    [ -e "$dest" ] && [ ! -d "$dest" ] && refuse "$dest is not a folder"
  elif [ -f "$src" ]; then
    [ "$rel" = VERSION ] && continue
    [ -d "$dest" ] && refuse "$dest is a folder"
    [ -d "$dest.new" ] && refuse "$dest.new is a folder"
  else
    refuse "$rel is not a regular file"
  fi
done < "$stage/entries"
while IFS= read -r e; do
  rel=${e#./}
  [ -d "$root/$rel" ] && ! mkdir -p "$dir/$rel" && refuse "cannot make the folder $dir/$rel"
done < "$stage/entries"

# --- replacing, one rename per file ---
count=0
while IFS= read -r e; do
  rel=${e#./}
  src=$root/$rel
  dest=$dir/$rel
  if [ ! -f "$src" ] || [ "$rel" = VERSION ]; then
    continue
  fi
  if is_admin_file "$rel" && { [ -e "$dest" ] || [ -L "$dest" ]; }; then
    if [ -f "$dest" ] && cmp -s "$src" "$dest"; then
      note "Unchanged $dest"
    elif mv -f "$src" "$dest.new"; then
      say "Kept $dest; the package's copy is $dest.new"
    else
      complain "cannot write $dest.new"
      status=1
    fi
  elif mv -f "$src" "$dest"; then
    note "Installed $dest"
    count=$((count + 1))
  else
    complain "cannot install $dest"
    status=1
  fi
done < "$stage/entries"
if [ "$status" -eq 0 ]; then
  say "Installed Kelvane $new ($count files)."
else
  complain "Kelvane $new is installed only in part"
fi
finish
