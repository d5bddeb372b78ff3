# ---------------------------------------------------------------------------
# The hardware catalogue (data/) and the files generated from it:
# etc/config.dat, etc/modules.lis, etc/modules.dep, the help texts under
# docs/ and the simulator's demo machine, all under ${KVL_DATA_DIR}.
# ---------------------------------------------------------------------------
add_library(kvl_catalogue STATIC
  catalogue/catalogue_check.cpp
  catalogue/catalogue_image.cpp
  catalogue/catalogue_json.cpp
  catalogue/catalogue_write.cpp)
target_include_directories(kvl_catalogue PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(kvl_catalogue PUBLIC kvl_common kvl_hwdb nlohmann_json::nlohmann_json)
kvl_unity_build(kvl_catalogue)

add_executable(kvl_mkcatalogue catalogue/mkcatalogue.cpp)
target_link_libraries(kvl_mkcatalogue PRIVATE kvl_catalogue)
set_target_properties(kvl_mkcatalogue PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

# Card order in the database follows the order of these files.
set(KVL_CATALOGUE_FILES
  ${CMAKE_SOURCE_DIR}/data/catalogue/drivers.json
  ${CMAKE_SOURCE_DIR}/data/catalogue/templates.json
  ${CMAKE_SOURCE_DIR}/data/catalogue/cards-isa.json
  ${CMAKE_SOURCE_DIR}/data/catalogue/cards-pnp.json
  ${CMAKE_SOURCE_DIR}/data/catalogue/cards-pci.json
  ${CMAKE_SOURCE_DIR}/data/catalogue/cards-usb.json)
# The tests read the same files to compare the generated database with them.
set_property(GLOBAL PROPERTY KVL_CATALOGUE_FILES ${KVL_CATALOGUE_FILES})
set(KVL_DEMO_TEMPLATE ${CMAKE_SOURCE_DIR}/data/demo_machine.template.json)
file(GLOB KVL_HELP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/help/README.*)

set(KVL_CATALOGUE_OUTPUTS
  ${KVL_DATA_DIR}/etc/config.dat
  ${KVL_DATA_DIR}/etc/modules.lis
  ${KVL_DATA_DIR}/etc/modules.dep
  ${KVL_DATA_DIR}/demo_machine.json)
set(KVL_HELP_OUTPUTS)
foreach(h ${KVL_HELP_SOURCES})
  get_filename_component(name ${h} NAME)
  list(APPEND KVL_HELP_OUTPUTS ${KVL_DATA_DIR}/docs/${name})
endforeach()

add_custom_command(
  OUTPUT ${KVL_CATALOGUE_OUTPUTS} ${KVL_HELP_OUTPUTS}
  COMMAND kvl_mkcatalogue --out ${KVL_DATA_DIR} --help-dir ${CMAKE_SOURCE_DIR}/data/help
          --template ${KVL_DEMO_TEMPLATE} ${KVL_CATALOGUE_FILES}
  DEPENDS kvl_mkcatalogue ${KVL_CATALOGUE_FILES} ${KVL_HELP_SOURCES} ${KVL_DEMO_TEMPLATE}
  COMMENT "Generating config.dat, the module lists, help texts and the demo machine"
  VERBATIM)
add_custom_target(kvl_catalogue_data ALL DEPENDS ${KVL_CATALOGUE_OUTPUTS} ${KVL_HELP_OUTPUTS})

install(FILES ${KVL_DATA_DIR}/etc/config.dat ${KVL_DATA_DIR}/etc/modules.lis
              ${KVL_DATA_DIR}/etc/modules.dep DESTINATION etc)
install(FILES ${KVL_HELP_OUTPUTS} DESTINATION docs)
# --- end of the hardware catalogue ---
