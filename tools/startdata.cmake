# ---------------------------------------------------------------------------
# Start-up's shipped files: the demo machine's starting etc/devices.cfg, the
# default levels and commands of etc/mixer.map, and bin/mixset, which that
# file runs. mixset is also copied next to the programs in the build tree.
# ---------------------------------------------------------------------------
configure_file(mixset.sh ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/mixset COPYONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE)
install(PROGRAMS mixset.sh DESTINATION bin RENAME mixset)
# Both files are configuration: one the administrator already has is kept
# (keep_config.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/keep_config.cmake)
foreach(cfg devices.cfg mixer.map)
  kvl_install_config(${CMAKE_SOURCE_DIR}/data/etc/${cfg} etc/${cfg})
endforeach()
# --- end of start-up's shipped files ---
