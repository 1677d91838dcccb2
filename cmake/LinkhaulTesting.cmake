find_package(GTest REQUIRED)

# linkhaul_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib... [LABELS l...] [TIMEOUT s])
# One test executable = one CTest test, so a suite's fixtures (a simulator, a
# scripted server) start once per executable rather than once per case.
function(linkhaul_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
