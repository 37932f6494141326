# The main thread's longest stall while the player hangs, with the real stand-in on a private bus.
add_executable(stall_bench ${CMAKE_CURRENT_LIST_DIR}/stall/HungPlayerStall.cpp)
target_compile_options(stall_bench PRIVATE ${BEATWICK_WARNINGS})
target_link_libraries(stall_bench PRIVATE beatwick_app)
target_compile_definitions(stall_bench PRIVATE BEATWICK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               BEATWICK_BINARY_DIR="${PROJECT_BINARY_DIR}"
                                               BEATWICK_RESOURCE_DIR="${BEATWICK_RESOURCE_DIR}")
add_dependencies(stall_bench player-standin beatwick_resources)
