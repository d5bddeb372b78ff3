# The whole audstart of an installation on two simulated machines against
# `true` plus the shell command start-up runs.
add_executable(startup_bench startup_bench.cpp)
target_link_libraries(startup_bench PRIVATE nlohmann_json::nlohmann_json)
