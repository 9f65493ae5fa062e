# Helpers shared by the folders' CMakeLists.txt files.

# velloran_static_library(name folder [LIBS ...])
# Builds every .cpp of the folder (not its subfolders named "tests") as a static library.
function(velloran_static_library name)
  cmake_parse_arguments(ARG "" "" "LIBS;PUBLIC_INCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(NOT sources)
    # A folder with headers only (or none yet) still gives its users the include path.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# velloran_test(name SOURCES ... LIBS ... [LABELS ...] [ENVIRONMENT VAR=value ...])
# One GoogleTest executable, its tests registered with CTest one by one.
function(velloran_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
