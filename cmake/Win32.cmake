# The cross build: setup.exe, UNZDLL.DLL, the fixture programs and the
# contract tests, all static, for i686 Windows.
include(cmake/Common.cmake)
set(QV_DIST ${CMAKE_SOURCE_DIR}/dist)
add_compile_options(${QV_WARNINGS} -ffunction-sections -fdata-sections)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600)
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections)

file(GLOB QV_OS_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/os/win32/*.cpp)
list(FILTER QV_OS_WIN32_SOURCES EXCLUDE REGEX ".*/WinMain\\.cpp$")
add_library(qv_os STATIC ${QV_OS_WIN32_SOURCES})
target_include_directories(qv_os PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qv_os PUBLIC ole32 oleaut32 uuid shell32 comctl32 comdlg32 advapi32 user32 gdi32 kernel32)

add_library(qv_logic STATIC ${QV_LOGIC_SOURCES})
target_include_directories(qv_logic PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qv_logic PUBLIC qv_os)

add_executable(setup WIN32 ${CMAKE_SOURCE_DIR}/os/win32/WinMain.cpp ${CMAKE_SOURCE_DIR}/os/win32/setup.rc)
target_link_libraries(setup PRIVATE qv_logic)
target_link_options(setup PRIVATE -s)
add_custom_command(TARGET setup POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_DIST}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:setup> ${QV_DIST}/setup.exe)

# GoogleTest from Debian's sources, for the contract tests under Wine.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(part unzdll uninst tests/fixtures tests/contract)
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
