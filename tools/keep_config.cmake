# Installing a configuration file that the administrator may have edited.
#
# kvl_install_config(SOURCE DEST) adds an install rule for SOURCE as DEST
# (relative to the prefix, e.g. etc/devices.cfg). At install time the rule
# calls kvl_keep_config from this same file:
# - no DEST yet: SOURCE is installed as DEST;
# - DEST holds the shipped text already: nothing changes;
# - DEST differs: DEST is kept, SOURCE goes beside it as DEST.new (replacing
#   an older .new) and one line on standard error says so.
# A DEST that is a symbolic link counts as existing, dangling or not: the
# administrator put it there.
include_guard(GLOBAL)

set(KVL_KEEP_CONFIG_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(kvl_install_config source dest)
  install(CODE "include(\"${KVL_KEEP_CONFIG_SCRIPT}\")\nkvl_keep_config(\"${source}\" \"${dest}\")")
endfunction()

function(kvl_keep_config source dest)
  set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${dest}")
  get_filename_component(dir "${target}" DIRECTORY)
  get_filename_component(name "${target}" NAME)
  # 0644 whatever the source's mode: start-up runs commands from these files
  # only when nobody but root can change them.
  set(perms FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  if(NOT EXISTS "${target}" AND NOT IS_SYMLINK "${target}")
    file(INSTALL "${source}" DESTINATION "${dir}" RENAME "${name}" ${perms})
    return()
  endif()
  if(EXISTS "${target}" AND NOT IS_DIRECTORY "${target}")
    file(SHA256 "${source}" shipped)
    file(SHA256 "${target}" installed)
    if(shipped STREQUAL installed)
      message(STATUS "Up-to-date: ${target}")
      return()
    endif()
  endif()
  file(INSTALL "${source}" DESTINATION "${dir}" RENAME "${name}.new" ${perms})
  message(NOTICE "Kept ${target}; the shipped copy is ${target}.new")
endfunction()
