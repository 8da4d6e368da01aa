# The web build: the same program compiled with emscripten (emcmake cmake),
# drawn into a page by the web backend. scripts/web.sh configures and builds
# it; the site lands in <build>/site: the page, its script, the module.

# The program ends through an exception (End), so exceptions stay on;
# JavaScript-based ones, since wasm exceptions and Asyncify do not mix in
# this toolchain. Built for size: the module is downloaded by every visitor.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)
set(CMAKE_CXX_FLAGS_MINSIZEREL "-Oz -DNDEBUG" CACHE STRING "" FORCE)

# Debian's fonttools lives with Debian's own python3.
find_program(VELMORA_FONTTOOLS_PYTHON python3 HINTS /usr/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)
# Debian's esbuild bundles the page's modules into the one script the site
# ships.
find_program(VELMORA_ESBUILD esbuild HINTS /usr/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# The pack of the pictures drawn at twice the size, beside the module: the
# backend has the page fetch it by this name on a screen that draws them.
set(VELMORA_WEB_PACK pictures-2x.pack)

# velmora_web_subset_fonts(<list variable>): replaces the font files in the
# list by copies cut down to the characters the program can draw
# (tools/web/subset_fonts.py reads them from the program's sources).
function(velmora_web_subset_fonts list_var)
  set(out_dir ${PROJECT_BINARY_DIR}/fonts)
  set(outputs)
  foreach(font IN LISTS ${list_var})
    get_filename_component(name ${font} NAME)
    list(APPEND outputs ${out_dir}/${name})
  endforeach()
  file(GLOB_RECURSE text_sources CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/app/*.cpp ${PROJECT_SOURCE_DIR}/app/*.h
    ${PROJECT_SOURCE_DIR}/forms/*.cpp ${PROJECT_SOURCE_DIR}/forms/*.h
    ${PROJECT_SOURCE_DIR}/card/*.cpp ${PROJECT_SOURCE_DIR}/card/*.h
    ${PROJECT_SOURCE_DIR}/about/*.cpp ${PROJECT_SOURCE_DIR}/about/*.h
    ${PROJECT_SOURCE_DIR}/runtime/*.cpp ${PROJECT_SOURCE_DIR}/runtime/*.h)
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${VELMORA_FONTTOOLS_PYTHON} ${PROJECT_SOURCE_DIR}/tools/web/subset_fonts.py
            --sources ${PROJECT_SOURCE_DIR}/app ${PROJECT_SOURCE_DIR}/forms ${PROJECT_SOURCE_DIR}/card
                      ${PROJECT_SOURCE_DIR}/about ${PROJECT_SOURCE_DIR}/runtime
            --out ${out_dir} ${${list_var}}
    DEPENDS ${${list_var}} ${text_sources} ${PROJECT_SOURCE_DIR}/tools/web/subset_fonts.py
    COMMENT "Cutting the built-in faces down to the program's characters"
    VERBATIM)
  set(${list_var} ${outputs} PARENT_SCOPE)
endfunction()

# velmora_web_site(): the module (velmora.js + velmora.wasm) and the page
# around it, in <build>/site.
function(velmora_web_site)
  set(site ${PROJECT_BINARY_DIR}/site)
  set(web_dir ${PROJECT_SOURCE_DIR}/runtime/platform/web)
  # The picture decoders, the compositor and the backend run on every frame
  # and before the first: they are built for speed, the rest for size.
  target_compile_options(velmora_graphics PRIVATE -O2)
  target_compile_options(velmora_runtime PRIVATE -O2)
  # The backend, one file per job, each with its page side beside it (EM_JS);
  # the POSIX clocks come from emscripten's C library.
  add_library(velmora_web STATIC
    ${web_dir}/web_cursors.cpp
    ${web_dir}/web_files.cpp
    ${web_dir}/web_framebuffer.cpp
    ${web_dir}/web_input.cpp
    ${web_dir}/web_logic.cpp
    ${web_dir}/web_platform.cpp
    ${web_dir}/web_semantics.cpp
    ${web_dir}/web_windows.cpp
    ${PROJECT_SOURCE_DIR}/runtime/platform/posix/posix_clock.cpp)
  target_compile_options(velmora_web PRIVATE -O2)
  target_compile_definitions(velmora_web PRIVATE VELMORA_WEB_PACK="${VELMORA_WEB_PACK}")
  target_link_libraries(velmora_web PUBLIC velmora_runtime)

  add_executable(velmora ${PROJECT_SOURCE_DIR}/app/main.cpp)
  target_link_libraries(velmora PRIVATE velmora_program velmora_web)
  set_target_properties(velmora PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${site})
  target_link_options(velmora PRIVATE
    # waitEvent yields to the browser from inside the program's loops
    # (velmora_web_wait sleeps through Asyncify; the EM_ASYNC_JS functions
    # are Asyncify's imports by their names).
    -sASYNCIFY -sASYNCIFY_IMPORTS=velmora_web_wait
    # What the page's listeners call, synchronously (see web_input.cpp).
    -sEXPORTED_FUNCTIONS=_main,_velmora_web_pointer,_velmora_web_visibility
    -sMODULARIZE -sEXPORT_NAME=VelmoraCard -sENVIRONMENT=web
    # The memory starts small and grows with what the show decodes: a page
    # should hold no more than it uses. It never shrinks, so it grows by
    # what is asked only, not by a fifth more as emscripten would: its size
    # stays the show's peak.
    -sALLOW_MEMORY_GROWTH -sMEMORY_GROWTH_GEOMETRIC_STEP=0 -sINITIAL_MEMORY=2MB -sTOTAL_STACK=128KB -sASYNCIFY_STACK_SIZE=65536
    -sEXPORTED_RUNTIME_METHODS=[]
    # No file system: the pictures and faces are built in, the 2x pack comes
    # through the page's fetch, and nothing is written (SavePicture says so).
    -sFILESYSTEM=0
    -sTEXTDECODER=2 -sMIN_CHROME_VERSION=80 -sMIN_FIREFOX_VERSION=78 -sMIN_SAFARI_VERSION=140000
    # Linked at -Os, not -Oz: at -Oz emscripten links its size-built C
    # library, whose memcpy and memmove copy a byte at a time, and the
    # compositor moves the whole card face with them on every shake tick.
    -Os)

  # The site's address, for the link preview's absolute addresses
  # (VELMORA_SITE_URL=https://... bash scripts/web.sh); empty leaves them
  # relative. Only an address that needs no escaping in the page is taken.
  set(VELMORA_SITE_URL "" CACHE STRING "The address the site is served from, for link previews")
  if(VELMORA_SITE_URL AND NOT VELMORA_SITE_URL MATCHES "^https?://[A-Za-z0-9._~:/?#@!$'()*+,;=%-]+$")
    message(FATAL_ERROR "VELMORA_SITE_URL: not a plain http(s) address: ${VELMORA_SITE_URL}")
  endif()
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/Packaging.cmake release_line REGEX "^set\\(VELMORA_RELEASE ")
  string(REGEX REPLACE "^set\\(VELMORA_RELEASE ([0-9.]+)\\)$" "\\1" release "${release_line}")
  set(page_dir ${PROJECT_SOURCE_DIR}/app/web)
  add_custom_command(OUTPUT ${site}/index.html
    COMMAND ${CMAKE_COMMAND} -DIN=${page_dir}/index.html -DOUT=${site}/index.html
            -DRELEASE=${release} -DSITE_URL=${VELMORA_SITE_URL} -P ${PROJECT_SOURCE_DIR}/cmake/SitePage.cmake
    DEPENDS ${page_dir}/index.html ${PROJECT_SOURCE_DIR}/cmake/SitePage.cmake VERBATIM)

  # The page's modules (app/web/*.js) go out as two scripts, one request
  # each on a slow network: page.js for the card, write.js for the page
  # that writes one.
  file(GLOB page_modules CONFIGURE_DEPENDS ${page_dir}/*.js)
  set(page_files ${site}/index.html)
  foreach(entry page.js write.js)
    add_custom_command(OUTPUT ${site}/${entry}
      COMMAND ${VELMORA_ESBUILD} ${page_dir}/${entry} --bundle --format=esm --minify
              --target=chrome80,firefox78,safari14 --log-level=warning --outfile=${site}/${entry}
      DEPENDS ${page_modules}
      COMMENT "Bundling the page's modules into ${entry}"
      VERBATIM)
    list(APPEND page_files ${site}/${entry})
  endforeach()
  # The write page, the link preview's picture and the web app's manifest.
  foreach(file write.html manifest.webmanifest og-image.jpg)
    add_custom_command(OUTPUT ${site}/${file}
      COMMAND ${CMAKE_COMMAND} -E copy ${page_dir}/${file} ${site}/${file}
      DEPENDS ${page_dir}/${file} VERBATIM)
    list(APPEND page_files ${site}/${file})
  endforeach()
  add_custom_command(OUTPUT ${site}/icon.ico
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/assets/CardIcon.ico ${site}/icon.ico
    DEPENDS ${PROJECT_SOURCE_DIR}/assets/CardIcon.ico VERBATIM)
  # The card icon as assets/generate.py draws it for pages and phones' home
  # screens (the 32-pixel one is the desktop's).
  set(icon_sources ${PROJECT_SOURCE_DIR}/assets/icons/velmora-32.png ${PROJECT_SOURCE_DIR}/assets/icons/web/apple-touch-icon.png
    ${PROJECT_SOURCE_DIR}/assets/icons/web/icon-192.png ${PROJECT_SOURCE_DIR}/assets/icons/web/icon-512.png
    ${PROJECT_SOURCE_DIR}/assets/icons/web/icon-maskable-512.png)
  set(icon_names icon-32.png apple-touch-icon.png icon-192.png icon-512.png icon-maskable-512.png)
  foreach(source name IN ZIP_LISTS icon_sources icon_names)
    add_custom_command(OUTPUT ${site}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${site}/${name}
      DEPENDS ${source} VERBATIM)
    list(APPEND page_files ${site}/${name})
  endforeach()
  # The licences of the program and of the faces and code built into the
  # module travel with the site.
  set(licence_files ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/licenses/Liberation-fonts.txt
    ${PROJECT_SOURCE_DIR}/licenses/stb.txt)
  set(licence_outputs)
  foreach(file IN LISTS licence_files)
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${site}/licenses/${name}
      COMMAND ${CMAKE_COMMAND} -E copy ${file} ${site}/licenses/${name}
      DEPENDS ${file} VERBATIM)
    list(APPEND licence_outputs ${site}/licenses/${name})
  endforeach()
  add_custom_target(velmora_page ALL DEPENDS ${page_files} ${site}/icon.ico ${licence_outputs})
endfunction()

# velmora_web_assets_2x(<target> <names> <files>): the library that
# cmake/Assets.cmake makes for the drawings at twice the size, for a page:
# the files are left out of the module and packed into
# <build>/site/${VELMORA_WEB_PACK}, which the backend has the page fetch
# only on a screen that draws at twice the size (web_files.cpp);
# assetFileAt2x(Asset) then returns a file's bytes from that pack, or
# nothing where the page did not fetch it.
function(velmora_web_assets_2x target names files)
  add_library(${target} STATIC)
  target_include_directories(${target} PUBLIC ${generated_dir} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE velmora_web)
  set(cases "")
  foreach(name file IN ZIP_LISTS names files)
    get_filename_component(file_name ${file} NAME)
    string(APPEND cases "        case Asset::${name}: return rt::platform::webFetchedFile(\"${file_name}\");\n")
  endforeach()
  set(table ${CMAKE_CURRENT_BINARY_DIR}/embedded/${target}_table.cpp)
  file(WRITE ${table}.tmp "// Generated by cmake/Web.cmake; do not edit.
#include \"forms/asset_list.h\"
#include \"runtime/platform/web/web_platform.h\"

namespace velmora {

std::span<const std::uint8_t> assetFileAt2x(Asset asset) {
    switch (asset) {
${cases}        default: break;
    }
    return {};
}

}  // namespace velmora
")
  file(COPY_FILE ${table}.tmp ${table} ONLY_IF_DIFFERENT)
  file(REMOVE ${table}.tmp)
  target_sources(${target} PRIVATE ${table})
  set(pack ${PROJECT_BINARY_DIR}/site/${VELMORA_WEB_PACK})
  add_custom_command(OUTPUT ${pack}
    COMMAND ${VELMORA_FONTTOOLS_PYTHON} ${PROJECT_SOURCE_DIR}/tools/web/pack_files.py ${pack} ${files}
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/tools/web/pack_files.py
    COMMENT "Packing the pictures drawn at twice the size"
    VERBATIM)
  add_custom_target(velmora_pictures_2x ALL DEPENDS ${pack})
endfunction()
