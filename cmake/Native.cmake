# The native build: the unit tests and the contract tests against the
# in-memory Windows, with AddressSanitizer and UBSan.
include(cmake/Common.cmake)
enable_testing()
option(QV_SANITIZE "Build with AddressSanitizer and UBSan" ON)
add_compile_options(${QV_WARNINGS})
if(QV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

include(cmake/Lzma.cmake)

file(GLOB QV_OS_FAKE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/os/fake/*.cpp)
add_library(qv_os STATIC ${QV_OS_FAKE_SOURCES})
target_include_directories(qv_os PUBLIC ${CMAKE_SOURCE_DIR})

add_library(qv_logic STATIC ${QV_LOGIC_SOURCES})
target_include_directories(qv_logic PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qv_logic PUBLIC qv_os)

find_package(GTest REQUIRED)
include(GoogleTest)

foreach(part unzdll sfx tests/unit tests/contract tools/setupcheck)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${part}/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/${part} ${CMAKE_BINARY_DIR}/${part})
  endif()
endforeach()

include(cmake/Install.cmake)
