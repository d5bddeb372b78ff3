# Sourced by audstart and audstop (installed beside them in bin/).
#
# kvl_install_dir CONF: sets dir to the installation directory that CONF
# (/etc/kvl.conf) names, read the way KVLlib reads it: the first line
# "KVLLIBDIR=VALUE" whose VALUE is an absolute path shorter than 256
# characters wins; other lines, relative or empty values are skipped. No file
# or no such line gives /usr/lib/kvl. Only shell builtins, and a NUL byte
# anywhere in the file does no harm.
kvl_install_dir() {
  dir=/usr/lib/kvl
  [ -r "$1" ] || return 0
  while IFS= read -r kvl_line || [ -n "$kvl_line" ]; do
    case $kvl_line in
      KVLLIBDIR=/*)
        kvl_value=${kvl_line#KVLLIBDIR=}
        if [ ${#kvl_value} -lt 256 ]; then
          dir=$kvl_value
          return 0
        fi
        ;;
    esac
  done < "$1"
  return 0
}
