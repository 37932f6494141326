# The sample music library's album artwork is drawn by code beside the library file.
add_executable(make_sample_artwork ${CMAKE_CURRENT_LIST_DIR}/generators/make_sample_artwork.cpp)
target_compile_options(make_sample_artwork PRIVATE ${BEATWICK_WARNINGS})
target_link_libraries(make_sample_artwork PRIVATE Qt6::Gui)
set_target_properties(make_sample_artwork PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
set(sample_artwork_stamp ${BEATWICK_RESOURCE_DIR}/.sample_artwork.stamp)
add_custom_command(OUTPUT ${sample_artwork_stamp}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:make_sample_artwork> ${BEATWICK_RESOURCE_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${sample_artwork_stamp}
  DEPENDS make_sample_artwork
  COMMENT "Drawing the sample library's artwork")
add_custom_target(beatwick_sample_artwork DEPENDS ${sample_artwork_stamp})
add_dependencies(beatwick_resources beatwick_sample_artwork)
