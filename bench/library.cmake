# The library file at launch (window shown, playlists available) and the playlist menus' openings.
add_executable(library_bench ${CMAKE_CURRENT_LIST_DIR}/library/LibraryAtLaunch.cpp)
target_compile_options(library_bench PRIVATE ${BEATWICK_WARNINGS})
target_link_libraries(library_bench PRIVATE beatwick_app)
target_compile_definitions(library_bench PRIVATE BEATWICK_BINARY_DIR="${PROJECT_BINARY_DIR}"
                                                 BEATWICK_RESOURCE_DIR="${BEATWICK_RESOURCE_DIR}")
add_dependencies(library_bench player-standin beatwick_resources)
