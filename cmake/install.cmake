# Installation, man pages and the Debian package, and the tests of what gets
# installed. Included at the end of the top-level CMakeLists.txt, once every
# program's target is known.
#
#   cmake --install build/default --prefix "$PWD/stage"
#   cd build/default && cpack -G DEB
include(GNUInstallDirs)

# The programs that this build makes; glimview and glimprep are optional.
set(glim_programs glimcut glimlearn glimsee glimtest)
foreach(program glimview glimprep glim)
  if(TARGET ${program})
    list(APPEND glim_programs ${program})
  endif()
endforeach()
install(TARGETS ${glim_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages: man/NAME.SECTION.in carries the version, filled in here; the
# installed copy is compressed, as Debian keeps its man pages. gzip -n leaves
# out the name and time, so the same page gives the same bytes.
file(GLOB glim_man_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.in)
set(glim_man_pages)      # every configured page, for the render test
set(glim_man_compressed) # the pages of the programs built, for installing
foreach(source ${glim_man_sources})
  get_filename_component(page ${source} NAME_WLE)
  string(REGEX REPLACE "^(.*)\\.([0-9])$" "\\1" name ${page})
  string(REGEX REPLACE "^(.*)\\.([0-9])$" "\\2" section ${page})
  set(configured ${PROJECT_BINARY_DIR}/man/${page})
  configure_file(${source} ${configured} @ONLY)
  list(APPEND glim_man_pages ${configured})
  if(section STREQUAL "1" AND NOT name IN_LIST glim_programs)
    continue()
  endif()
  add_custom_command(OUTPUT ${configured}.gz
    COMMAND gzip -9nkf ${configured}
    DEPENDS ${configured}
    VERBATIM)
  list(APPEND glim_man_compressed ${configured}.gz)
  install(FILES ${configured}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${glim_man_compressed})

# share/doc/glim: the README, the pictures it shows, and the sample pictures
# with the names of the training picture's shapes.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.png")
install(FILES samples/train.ppm samples/test-1.ppm samples/test-2.ppm samples/shapes.ppm
              samples/train-labels.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/samples)

# The Debian package. dpkg-shlibdeps reads the libraries the programs link and
# writes the Depends field with the versions they need.
set(GLIM_PACKAGE_CONTACT "glim maintainers <glim@example.org>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glim)
set(CPACK_PACKAGE_CONTACT "${GLIM_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "learn and recognise simple objects in small pictures")
set(CPACK_PACKAGE_DESCRIPTION
    "glim finds the objects of small colour pictures, turns each object's shape
into a pattern of 256 units and teaches the patterns to a recurrent
associative network, which then recognises objects in other pictures.
Console programs: glim (teach objects from photos and ask about others),
glimcut, glimlearn, glimsee, glimtest, glimview and glimprep.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

if(BUILD_TESTING)
  # Every page renders without a warning from groff or man.
  add_test(NAME man_pages_render
           COMMAND sh ${PROJECT_SOURCE_DIR}/tests/man_pages.sh ${glim_man_pages})
  set_tests_properties(man_pages_render PROPERTIES SKIP_RETURN_CODE 77)
  # An install into a DESTDIR holds every file, and its programs run.
  add_test(NAME install_and_run
           COMMAND sh ${PROJECT_SOURCE_DIR}/tests/install.sh ${CMAKE_COMMAND}
                   ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}/tests/data/samples
                   ${glim_programs})
endif()
