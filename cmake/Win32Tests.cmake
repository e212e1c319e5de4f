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

# The benchmark's extraction command for Windows (scripts/bench-unzip.sh --wine),
# with the product UNZDLL.DLL beside it; not a test.
add_executable(unz_extract ${CMAKE_SOURCE_DIR}/bench/unz_extract.cpp)
target_include_directories(unz_extract PRIVATE ${CMAKE_SOURCE_DIR})
set_target_properties(unz_extract PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_SOURCE_DIR}/build/wintests/bench)
qv_use_product(unz_extract UNZDLL.DLL ${CMAKE_SOURCE_DIR}/build/wintests/bench)
