# velmora_windows_resources(<out-var>)
# Writes the resource script of velmora.exe (icon, version information,
# manifest) into the build folder and returns its path in <out-var>. The
# version shows as the program shows it: 2.1 is "2.01".
function(velmora_windows_resources out)
  set(VELMORA_ICON ${PROJECT_SOURCE_DIR}/assets/CardIcon.ico)
  set(VELMORA_MANIFEST ${PROJECT_SOURCE_DIR}/app/velmora.manifest)
  set(VELMORA_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
  if(PROJECT_VERSION_MINOR LESS 10)
    set(VELMORA_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
  else()
    set(VELMORA_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/velmora.rc)
  configure_file(${PROJECT_SOURCE_DIR}/app/velmora.rc.in ${rc} @ONLY)
  # windres does not see what the script pulls in; rebuild when it changes.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${VELMORA_ICON};${VELMORA_MANIFEST}")
  set(${out} ${rc} PARENT_SCOPE)
endfunction()
