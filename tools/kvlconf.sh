# Sourced by audstop, kvlupdate and mixset (installed beside them in bin/):
# the reading of /etc/kvl.conf and the opening of logs. audstart, a C
# program, reads the file with the C reader that this follows.
#
# kvl_install_dir CONF: sets dir to the installation directory that CONF
# (/etc/kvl.conf) names, by the rule every reader of the file follows
# (src/common/kvl_conf.h): the first line "KVLLIBDIR=VALUE" whose VALUE
# starts with "/", is at most 255 bytes long and holds no control character
# (a NUL byte included) wins; one carriage return before the line's end is
# not part of it; every other line is skipped. No file or no such line gives
# /usr/lib/kvl. The shell's read drops NUL bytes, so tr first turns each
# into a control character that the rule refuses.
kvl_install_dir() {
  dir=/usr/lib/kvl
  [ -r "$1" ] || return 0
  kvl_cr=$(printf '\r')
  kvl_text=$(tr '\000' '\001' < "$1") || return 0
  while IFS= read -r kvl_line || [ -n "$kvl_line" ]; do
    kvl_line=${kvl_line%"$kvl_cr"}
    case $kvl_line in
      KVLLIBDIR=/*)
        kvl_value=${kvl_line#KVLLIBDIR=}
        case $kvl_value in
          *[[:cntrl:]]*) ;;
          *)
            if [ ${#kvl_value} -le 255 ]; then
              dir=$kvl_value
              return 0
            fi
            ;;
        esac
        ;;
    esac
  done <<EOF
$kvl_text
EOF
  return 0
}

# kvl_log_open FILE [new]: opens the log FILE for appending on descriptor 3
# (with "new", as a new, empty file), never writing through a symbolic link:
# a link, anything else but a plain file, or a plain file that is not the
# running user's alone (another owner, or a second hard link) in its place
# is removed first and a plain file is made instead; when something is put
# there again while the file is opened, the log is refused. The first time
# in a run that the log's folder can be written by group or others, one line
# on standard error says so (once for the tools this one runs, too).
# Returns 0, or 1 after a line on standard error (descriptor 3 is then
# closed).
kvl_log_open() {
  kvl_log_folder=${1%/*}
  if [ -z "${KVL_LOG_TOLD:-}" ] &&
     [ -n "$(find "$kvl_log_folder" -prune \( -perm -020 -o -perm -002 \) -print 2>/dev/null)" ]; then
    echo "Warning: $kvl_log_folder is writable by other users" >&2
    KVL_LOG_TOLD=1
    export KVL_LOG_TOLD  # the tools this one runs do not say it again
  fi
  if [ "${2:-}" = new ] || [ -L "$1" ] || { [ -e "$1" ] && [ ! -f "$1" ]; } ||
     { [ -e "$1" ] && { [ ! -O "$1" ] || [ -n "$(find "$1" -prune -links +1 -print)" ]; }; }; then
    rm -f "$1" 2>/dev/null
  fi
  command exec 3>>"$1" || return 1
  # What was opened must be the plain file now at that name.
  if [ -L "$1" ] || [ ! -f "$1" ] || ! [ "$1" -ef /dev/fd/3 ]; then
    exec 3>&-
    echo "$1: not written: a link or another file was put in its place" >&2
    return 1
  fi
  return 0
}
