# ---------------------------------------------------------------------------
# Start-up's shipped files: the demo machine's starting etc/devices.cfg, the
# default levels and commands of etc/mixer.map, and bin/mixset, which that
# file runs. mixset is also copied next to the programs in the build tree.
# ---------------------------------------------------------------------------
configure_file(mixset.sh ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/mixset COPYONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE)
install(PROGRAMS mixset.sh DESTINATION bin RENAME mixset)
# Both files are configuration: one that the administrator already has is
# kept.
foreach(cfg devices.cfg mixer.map)
  install(CODE "
    set(kvl_cfg \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/etc/${cfg}\")
    if(NOT EXISTS \"\${kvl_cfg}\")
      file(INSTALL \"${CMAKE_SOURCE_DIR}/data/etc/${cfg}\" DESTINATION
           \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/etc\")
    endif()
  ")
endforeach()
# --- end of start-up's shipped files ---
