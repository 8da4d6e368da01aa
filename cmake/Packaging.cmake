# Installing Velmora like a desktop program, and its Debian package.
#
# `cmake --install <build>` puts, under the prefix (GNUInstallDirs layout):
#   bin/velmora (games/velmora in the Debian package, see below)
#   share/applications/example.velmora.Velmora.desktop
#   share/metainfo/example.velmora.Velmora.metainfo.xml
#   share/icons/hicolor/<n>x<n>/apps/example.velmora.Velmora.png
#   share/man/man6/velmora.6.gz
#   share/doc/velmora/: copyright, changelog.gz, LICENSE and the notices of
#     the fonts and libraries built into the executable
# `cpack -G DEB` in the build folder makes velmora_<release>_<arch>.deb
# from the same rules, with the dependencies computed from the executable.

include(GNUInstallDirs)

# The release as it is published. The About window shows the same release
# as "V<major>.<minor>" (V2.1), from the project's version.
set(VELMORA_RELEASE 2.01)
set(VELMORA_APP_ID example.velmora.Velmora)
set(VELMORA_ICON_SIZES 16 24 32 48 64 128 256)
set(velmora_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/velmora)
set(velmora_packaging ${PROJECT_SOURCE_DIR}/packaging)

# Debian keeps games' executables in /usr/games (on the PATH of every user's
# login shell and desktop session, though not on root's); the Debian package
# is built with VELMORA_INSTALL_BINDIR=games.
set(VELMORA_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR} CACHE STRING
    "Folder under the prefix for the executable (games for the Debian package)")
install(TARGETS velmora RUNTIME DESTINATION ${VELMORA_INSTALL_BINDIR})
install(FILES ${velmora_packaging}/${VELMORA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${velmora_packaging}/${VELMORA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
foreach(size ${VELMORA_ICON_SIZES})
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/velmora-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${VELMORA_APP_ID}.png)
endforeach()

# The manual page and the changelog go compressed, without a name or time
# stamp in the gzip header, so that two builds give the same bytes.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(velmora_man ${CMAKE_CURRENT_BINARY_DIR}/velmora.6.gz)
set(velmora_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${velmora_man}
  COMMAND ${GZIP_EXECUTABLE} -9nc ${velmora_packaging}/velmora.6 > ${velmora_man}
  DEPENDS ${velmora_packaging}/velmora.6 VERBATIM)
add_custom_command(OUTPUT ${velmora_changelog}
  COMMAND ${GZIP_EXECUTABLE} -9nc ${velmora_packaging}/debian/changelog > ${velmora_changelog}
  DEPENDS ${velmora_packaging}/debian/changelog VERBATIM)
add_custom_target(velmora_docs ALL DEPENDS ${velmora_man} ${velmora_changelog})
install(FILES ${velmora_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${velmora_packaging}/debian/copyright ${velmora_changelog}
              ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/licenses/Liberation-fonts.txt
              ${PROJECT_SOURCE_DIR}/licenses/stb.txt
        DESTINATION ${velmora_docdir})

# The Debian package. Build it from a Release build: cpack strips the
# executable it packs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${VELMORA_RELEASE})
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <dev@velmora.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.velmora.example)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "animated greeting card with a flickering candle")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Depends comes from dpkg-shlibdeps on the executable.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The About window's links open through xdg-open; without it they do nothing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
# The summary above is the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Velmora opens a small borderless, round-cornered card with a lit candle
before a glowing cross and plays a short show: the flame flickers, the
card shakes, a greeting panel unrolls over it, holds and flies away.
.
Click the card for two small buttons (close and About); double-click it to
close it. There are no settings and nothing is saved.")
include(CPack)
