# zun_library(NAME DIR [DEPS ...]): one library per source folder, built from
# every .cpp in it, so a new source file needs no edit here.
function(zun_library name)
  cmake_parse_arguments(Z "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${Z_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${Z_DEPS})
endfunction()

# zun_tests(LABEL DIR LIBS...): one test executable per test folder.
function(zun_tests label)
  cmake_parse_arguments(Z "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  set(exe test_${label})
  add_executable(${exe} ${srcs})
  set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${exe} PRIVATE zun_test_support ${Z_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # The decimal separator is pinned: start-up would take the machine's (a
  # comma in German or French), and tests that want another one set it. One
  # value a property: the discovered tests' properties lose list separators.
  gtest_discover_tests(${exe}
    PROPERTIES LABELS ${label} ENVIRONMENT "ZUN_HEADLESS=1" ENVIRONMENT_MODIFICATION "ZUN_DECIMAL_SEPARATOR=set:."
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    DISCOVERY_TIMEOUT 60)
endfunction()
