# The click sounds (Sounds/*.aiff) and the "cacophony" sound, synthesised at build time.
add_executable(make_sounds ${CMAKE_CURRENT_LIST_DIR}/generators/make_sounds.cpp)
target_compile_options(make_sounds PRIVATE ${BEATWICK_WARNINGS})
target_link_libraries(make_sounds PRIVATE PkgConfig::SNDFILE)
# Kept out of the resource folder, which the build shares with the sounds.
set_target_properties(make_sounds PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/generators)

set(beatwick_click_sounds Click Tick Woodblock Clave Rim)
set(beatwick_sound_files ${BEATWICK_RESOURCE_DIR}/cacophony.aiff)
foreach(sound IN LISTS beatwick_click_sounds)
  list(APPEND beatwick_sound_files ${BEATWICK_RESOURCE_DIR}/Sounds/${sound}.aiff)
endforeach()
add_custom_command(OUTPUT ${beatwick_sound_files}
  COMMAND make_sounds ${BEATWICK_RESOURCE_DIR}/Sounds ${BEATWICK_RESOURCE_DIR}/cacophony.aiff
  DEPENDS make_sounds
  COMMENT "Making the click sounds")
add_custom_target(beatwick_sounds DEPENDS ${beatwick_sound_files})
add_dependencies(beatwick_resources beatwick_sounds)
