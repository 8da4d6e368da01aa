# The pictures, icons and cursor built into the program, made from the one
# list of them, assets/assets.txt:
#   <build>/generated/forms/asset_list.h  the Asset enumeration and the two
#                                         look-ups below
#   velmora_assets     the files, embedded, and assetFile(Asset)
#   velmora_assets_2x  their drawings at twice the size, embedded, and
#                      assetFileAt2x(Asset)
# The two sets are apart so that a build can leave the 2x drawings out of
# the program (VELMORA_EMBED_2X=OFF: assetFileAt2x then finds none, and the
# pictures are drawn scaled) and fetch them instead. VELMORA_ASSET_FILES and
# VELMORA_ASSET_FILES_2X name the files of each set, for such a build to
# copy.
include(${CMAKE_CURRENT_LIST_DIR}/Embed.cmake)

set(asset_list ${PROJECT_SOURCE_DIR}/assets/assets.txt)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${asset_list})
file(STRINGS ${asset_list} asset_lines REGEX "^[^#]")

set(asset_names)            # CardFace ...
set(asset_names_2x)         # those drawn at twice the size too
set(VELMORA_ASSET_FILES)    # <source>/assets/CardFace.jpg ...
set(VELMORA_ASSET_FILES_2X) # <source>/assets/CardFace@2x.jpg ...
foreach(line IN LISTS asset_lines)
  if(NOT line MATCHES "^([A-Za-z][A-Za-z0-9]*)(\\.[a-z]+)( +2x)? *$")
    message(FATAL_ERROR "assets/assets.txt: cannot read \"${line}\" (a file name, then 2x or nothing)")
  endif()
  list(APPEND asset_names ${CMAKE_MATCH_1})
  list(APPEND VELMORA_ASSET_FILES ${PROJECT_SOURCE_DIR}/assets/${CMAKE_MATCH_1}${CMAKE_MATCH_2})
  if(CMAKE_MATCH_3)
    list(APPEND asset_names_2x ${CMAKE_MATCH_1})
    list(APPEND VELMORA_ASSET_FILES_2X ${PROJECT_SOURCE_DIR}/assets/${CMAKE_MATCH_1}@2x${CMAKE_MATCH_2})
  endif()
endforeach()

# Writes a generated file, touching it only when its text changes.
function(velmora_write_generated path text)
  file(WRITE "${path}.tmp" "${text}")
  file(COPY_FILE "${path}.tmp" "${path}" ONLY_IF_DIFFERENT)
  file(REMOVE "${path}.tmp")
endfunction()

set(generated_dir ${PROJECT_BINARY_DIR}/generated)
set(enumerators "")
foreach(name IN LISTS asset_names)
  string(APPEND enumerators "    ${name},\n")
endforeach()
velmora_write_generated(${generated_dir}/forms/asset_list.h
"// Generated from assets/assets.txt by cmake/Assets.cmake; do not edit.
#pragma once

#include <cstdint>
#include <span>

namespace velmora {

// The pictures, icons and cursor built into the program.
enum class Asset {
    None,
${enumerators}};

// The asset's file as built in; empty for Asset::None.
std::span<const std::uint8_t> assetFile(Asset asset);
// Its drawing at twice the size as built in; empty where it has none, or
// where the build leaves the 2x drawings out.
std::span<const std::uint8_t> assetFileAt2x(Asset asset);

}  // namespace velmora
")

# velmora_asset_library(<target> <function> <symbol suffix> <names> <files>):
# a library embedding the files, with <function>(Asset) returning the bytes
# of each name's file (the two lists run in step).
function(velmora_asset_library target function suffix names files)
  add_library(${target} STATIC)
  target_include_directories(${target} PUBLIC ${generated_dir})
  set(declarations "")
  set(cases "")
  set(embed_args)
  foreach(name file IN ZIP_LISTS names files)
    string(APPEND declarations "std::span<const std::uint8_t> asset${name}${suffix}();\n")
    string(APPEND cases "        case Asset::${name}: return embedded::asset${name}${suffix}();\n")
    list(APPEND embed_args SYMBOL asset${name}${suffix} FILE ${file})
  endforeach()
  set(table ${CMAKE_CURRENT_BINARY_DIR}/embedded/${target}_table.cpp)
  velmora_write_generated(${table}
"// Generated from assets/assets.txt by cmake/Assets.cmake; do not edit.
#include \"forms/asset_list.h\"

namespace embedded {
${declarations}}  // namespace embedded

namespace velmora {

std::span<const std::uint8_t> ${function}(Asset asset) {
    switch (asset) {
${cases}        default: break;
    }
    return {};
}

}  // namespace velmora
")
  target_sources(${target} PRIVATE ${table})
  if(embed_args)
    velmora_embed(${target} ${embed_args})
  endif()
endfunction()

option(VELMORA_EMBED_2X "Build the pictures' drawings at twice the size into the program" ON)
velmora_asset_library(velmora_assets assetFile "" "${asset_names}" "${VELMORA_ASSET_FILES}")
if(EMSCRIPTEN)
  # In a page the 2x drawings are fetched only by a screen that draws them.
  velmora_web_assets_2x(velmora_assets_2x "${asset_names_2x}" "${VELMORA_ASSET_FILES_2X}")
elseif(VELMORA_EMBED_2X)
  velmora_asset_library(velmora_assets_2x assetFileAt2x _2x "${asset_names_2x}" "${VELMORA_ASSET_FILES_2X}")
else()
  velmora_asset_library(velmora_assets_2x assetFileAt2x _2x "" "")
endif()
