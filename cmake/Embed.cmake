# velmora_embed(<target> SYMBOL <name> FILE <path> [SYMBOL ... FILE ...])
# Builds each file into <target> as a function embedded::<name>() returning
# its bytes, so that nothing is read from files at run time.
function(velmora_embed target)
  set(args ${ARGN})
  list(LENGTH args n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 4)
    math(EXPR is "${i} + 1")
    math(EXPR if "${i} + 3")
    list(GET args ${is} symbol)
    list(GET args ${if} path)
    get_filename_component(name "${path}" NAME)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp")
    add_custom_command(
      OUTPUT "${out}"
      COMMAND ${CMAKE_COMMAND} -DINPUT=${path} -DINPUT_NAME=${name} -DOUTPUT=${out}
              -DSYMBOL=${symbol} -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
      DEPENDS "${path}" ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
      COMMENT "Embedding ${name}"
      VERBATIM)
    target_sources(${target} PRIVATE "${out}")
  endforeach()
endfunction()
