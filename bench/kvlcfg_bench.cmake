# kvlcfg check of a 10-card configuration on a 2000-card database against
# hwdb_load alone on the same database.
add_executable(kvlcfg_bench kvlcfg_bench.cpp)
target_link_libraries(kvlcfg_bench PRIVATE kvl_kvlcfg kvl_catalogue)
target_compile_definitions(kvlcfg_bench PRIVATE KVL_KVLCFG="$<TARGET_FILE:kvlcfg>")
add_dependencies(kvlcfg_bench kvlcfg)
