# The hardware database loader on a 2000-card database against `uncompress`
# alone on the same compressed data.
add_executable(hwdb_bench hwdb_bench.cpp)
target_link_libraries(hwdb_bench PRIVATE kvl_catalogue)
