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

install(TARGETS tidefill tidefill-study RUNTIME DESTINATION ${TIDEFILL_BIN_DIR})
install(FILES README.md LICENSE DESTINATION ${TIDEFILL_DOC_DIR})

if(NOT WIN32)
  install(FILES packaging/tidefill.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES packaging/tidefill.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
  # The manual page is made from the tool's own --help, so the two never disagree.
  find_program(HELP2MAN help2man)
  find_program(GZIP gzip)
  if(HELP2MAN AND GZIP AND NOT CMAKE_CROSSCOMPILING)
    set(TIDEFILL_STUDY_MAN ${CMAKE_BINARY_DIR}/tidefill-study.1.gz)
    add_custom_command(
      OUTPUT ${TIDEFILL_STUDY_MAN}
      COMMAND ${HELP2MAN} --no-info --section 1 --source "Tidefill ${PROJECT_VERSION}"
              --name "batch studies of the colour-region puzzle on every core"
              --output ${CMAKE_BINARY_DIR}/tidefill-study.1 $<TARGET_FILE:tidefill-study>
      COMMAND ${GZIP} -9nf ${CMAKE_BINARY_DIR}/tidefill-study.1
      DEPENDS tidefill-study
      COMMENT "Making the manual page of tidefill-study")
    add_custom_target(tidefill_study_man ALL DEPENDS ${TIDEFILL_STUDY_MAN})
    install(FILES ${TIDEFILL_STUDY_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    message(STATUS "help2man or gzip not found: tidefill-study gets no manual page")
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
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER
      "the Tidefill team <maintainers@users.noreply.c-seed-8a9101f7.example>")
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
         "Tidefill generates random boards of coloured tiles, solves them one greedy turn at a\n"
         "time while a window shows the board, answers queries about tiles and regions at the\n"
         "terminal, and reports statistics over series of boards. tidefill-study solves\n"
         "thousands of reproducible boards on every core and reports the turns they need.")
  # Dependencies are read off the executables, so the package pulls in exactly the SDL2 and C++
  # runtime they link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
