# A burst of the player's notices at the running Beatwick executable, with the real stand-in on
# a private bus: requests to the player afterwards and Beatwick's RSS.
add_executable(burst_bench ${CMAKE_CURRENT_LIST_DIR}/burst/NoticeBurst.cpp)
target_compile_options(burst_bench PRIVATE ${BEATWICK_WARNINGS})
target_link_libraries(burst_bench PRIVATE beatwick_foundation)
target_compile_definitions(burst_bench PRIVATE BEATWICK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                               BEATWICK_BINARY_DIR="${PROJECT_BINARY_DIR}"
                                               BEATWICK_RESOURCE_DIR="${BEATWICK_RESOURCE_DIR}")
add_dependencies(burst_bench Beatwick player-standin beatwick_resources)
