# Install rules and packages: a Debian package from the Linux build, a zip from the Windows one.
include(GNUInstallDirs)

if(WIN32)
  # A Windows zip is unpacked and run where it lies: everything side by side.
  set(TIDEFILL_BIN_DIR .)
  set(TIDEFILL_DOC_DIR .)
else()
  set(TIDEFILL_BIN_DIR ${CMAKE_INSTALL_BINDIR})
  set(TIDEFILL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tidefill)
endif()

install(TARGETS tidefill tidefill-study tidefill-play RUNTIME DESTINATION ${TIDEFILL_BIN_DIR})
install(FILES README.md LICENSE DESTINATION ${TIDEFILL_DOC_DIR})
if(NOT WIN32)
  install(FILES packaging/copyright DESTINATION ${TIDEFILL_DOC_DIR})
endif()

if(NOT WIN32)
  install(FILES packaging/tidefill.desktop packaging/tidefill-play.desktop
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES packaging/tidefill.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
  # The manual page is made from the tool's own --help, so the two never disagree.
  find_program(HELP2MAN help2man)
  find_program(GZIP gzip)
  if(GZIP)
    # The interactive program's page is written by hand: its dialogue is not in any --help.
    foreach(page tidefill.1 changelog)
      add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/${page}.gz
        COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/packaging/${page} > ${CMAKE_BINARY_DIR}/${page}.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${page}
        COMMENT "Compressing ${page}")
    endforeach()
    add_custom_target(tidefill_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/tidefill.1.gz
                                                ${CMAKE_BINARY_DIR}/changelog.gz)
    install(FILES ${CMAKE_BINARY_DIR}/tidefill.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${TIDEFILL_DOC_DIR})
  endif()
  # The study's and the play program's manual pages are made from their own --help, so the two
  # never disagree.
  if(HELP2MAN AND GZIP AND NOT CMAKE_CROSSCOMPILING)
    function(tidefill_manual_from_help program summary)
      set(page ${CMAKE_BINARY_DIR}/${program}.1)
      add_custom_command(
        OUTPUT ${page}.gz
        COMMAND ${HELP2MAN} --no-info --section 1 --source "Tidefill ${PROJECT_VERSION}"
                --name ${summary} --include ${PROJECT_SOURCE_DIR}/packaging/${program}.h2m
                --output ${page} $<TARGET_FILE:${program}>
        COMMAND ${GZIP} -9nf ${page}
        DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/${program}.h2m
        COMMENT "Making the manual page of ${program}")
      string(REPLACE "-" "_" target ${program}_man)
      add_custom_target(${target} ALL DEPENDS ${page}.gz)
      install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endfunction()
    tidefill_manual_from_help(tidefill-study
                              "batch studies of the colour-region puzzle on every core")
    tidefill_manual_from_help(tidefill-play
                              "play the colour-region puzzle with the proven optimum beside you")
  else()
    message(STATUS "help2man or gzip not found: tidefill-study and tidefill-play get no manual page")
  endif()
endif()

set(CPACK_PACKAGE_NAME tidefill)
set(CPACK_PACKAGE_VENDOR "the Tidefill team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Plays and studies a one-player colour-region puzzle")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tidefill-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # tidefill_<version>_<arch>.deb
  # Not "games": lintian expects games under /usr/games, and this is as much a study tool.
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER
      "the Tidefill team <maintainers@users.noreply.c-seed-8a9101f7.example>")
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
         "Tidefill generates random boards of coloured tiles, solves them one greedy\n"
         "turn at a time while a window shows the board, answers queries about tiles\n"
         "and regions at the terminal, and reports statistics over series of boards.\n"
         "tidefill-study solves thousands of reproducible boards on every core and\n"
         "reports the turns they need. tidefill-play lets a person play, with the\n"
         "proven fewest moves from the position in hand beside them.")
  # Dependencies are read off the executables, so the package pulls in exactly the SDL2 and C++
  # runtime they link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # tidefill-play writes its labels in this font, which no library dependency brings.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-dejavu-core)
endif()
include(CPack)
