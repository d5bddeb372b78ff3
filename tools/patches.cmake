# The FM patch files etc/std.o3 and etc/drums.o3, generated from the readable
# table data/patches/fm_patches.txt into ${KVL_DATA_DIR}/etc and installed
# into etc/.
include_guard(GLOBAL)

add_executable(gen_patches ${CMAKE_SOURCE_DIR}/tools/gen_patches.cpp)
target_link_libraries(gen_patches PRIVATE kvl_common)

set(kvl_patch_table ${CMAKE_SOURCE_DIR}/data/patches/fm_patches.txt)
set(kvl_patch_files ${KVL_DATA_DIR}/etc/std.o3 ${KVL_DATA_DIR}/etc/drums.o3)
add_custom_command(
  OUTPUT ${kvl_patch_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KVL_DATA_DIR}/etc
  COMMAND gen_patches ${kvl_patch_table} ${KVL_DATA_DIR}/etc
  DEPENDS gen_patches ${kvl_patch_table}
  COMMENT "Generating the FM patch files std.o3 and drums.o3"
  VERBATIM)
add_custom_target(kvl_patches ALL DEPENDS ${kvl_patch_files})
install(FILES ${kvl_patch_files} DESTINATION etc COMPONENT kvllib)
