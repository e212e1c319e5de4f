# The test tree of the cross build: fixture programs and the Windows test
# programs, run under Wine by scripts/test.sh, never shipped.
# GoogleTest from Debian's sources, for the Windows test programs under Wine.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(part tests/fixtures tests/contract)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${part}/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/${part} ${CMAKE_BINARY_DIR}/${part})
  endif()
endforeach()

# Windows test programs of one area each (tests/wine/NAME/), built here and
# run under Wine by scripts/test.sh.
file(GLOB QV_WINE_TEST_DIRS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*/CMakeLists.txt)
foreach(f ${QV_WINE_TEST_DIRS})
  get_filename_component(d ${f} DIRECTORY)
  get_filename_component(n ${d} NAME)
  add_subdirectory(${d} ${CMAKE_BINARY_DIR}/winetests/${n})
endforeach()
