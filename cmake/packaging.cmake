# Installation and the Debian package: the three programs, their man pages and
# the README. `cpack -G DEB` in a build folder makes the .deb; its Depends is
# computed from the programs' shared libraries by dpkg-shlibdeps.
include(GNUInstallDirs)

foreach(program tonesmith echoprobe auralyn)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/man/tonesmith.1 ${PROJECT_SOURCE_DIR}/man/echoprobe.1
              ${PROJECT_SOURCE_DIR}/man/auralyn.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/auralyn)

set(CPACK_PACKAGE_NAME auralyn)
set(CPACK_PACKAGE_VENDOR "Auralyn")
set(CPACK_PACKAGE_CONTACT "Auralyn developers <auralyn@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "frequency response measurement of audio devices with stepped-sine sweeps")
set(CPACK_PACKAGE_DESCRIPTION
    "tonesmith writes a stepped-sine sweep, echoprobe measures a recording of it, and auralyn\n"
    "does both from a conventional command line, plots measurements and simulates devices.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY auralyn)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# auralyn opens PortAudio, libsndfile, libsoxr and FFTW when a command first
# needs them, so dpkg-shlibdeps cannot see them among its libraries; they are
# named here and joined to what it computes.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libportaudio2, libsndfile1, libsoxr0, libfftw3-double3, libfftw3-single3")
set(CPACK_STRIP_FILES ON)
include(CPack)
