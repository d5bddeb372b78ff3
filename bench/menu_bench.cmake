# The configurator from its start to the main menu against hwdb_load alone.
add_executable(menu_bench menu_bench.cpp)
target_link_libraries(menu_bench PRIVATE kvl_configurator kvl_catalogue)
