# One full allocation pass over 10 cards of 10 devices against a fixed anchor.
add_executable(alloc_bench alloc_bench.cpp)
target_link_libraries(alloc_bench PRIVATE kvl_cardcfg)
