# The bundle's images are drawn by code: make_images writes them into the resources folder.
add_executable(make_images ${CMAKE_CURRENT_LIST_DIR}/generators/make_images.cpp)
target_compile_options(make_images PRIVATE ${BEATWICK_WARNINGS})
target_link_libraries(make_images PRIVATE Qt6::Gui)
set_target_properties(make_images PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
set(images_stamp ${BEATWICK_RESOURCE_DIR}/.images.stamp)
add_custom_command(OUTPUT ${images_stamp}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:make_images> ${BEATWICK_RESOURCE_DIR}
  DEPENDS make_images
  COMMENT "Drawing the bundle's images")
add_custom_target(beatwick_images DEPENDS ${images_stamp})
add_dependencies(beatwick_resources beatwick_images)
