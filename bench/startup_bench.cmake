# One whole start-up of audcore on the simulator against a bare process start.
add_executable(startup_bench startup_bench.cpp)
target_compile_definitions(startup_bench PRIVATE KVL_AUDCORE="$<TARGET_FILE:audcore>"
                                                 KVL_KVLSIM="$<TARGET_FILE:kvlsim>")
add_dependencies(startup_bench audcore kvlsim)
