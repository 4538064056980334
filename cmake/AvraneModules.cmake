# Adds each named folder under `parent` that holds a CMakeLists.txt, in the order given.
# A macro, so that a folder's `set(... PARENT_SCOPE)` reaches the caller's scope.
macro(avrane_add_subdirectories parent)
  foreach(_avrane_dir ${ARGN})
    if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${parent}/${_avrane_dir}/CMakeLists.txt")
      add_subdirectory("${parent}/${_avrane_dir}")
    endif()
  endforeach()
endmacro()

# avrane_add_test(<name> SOURCES ... LIBRARIES ... [THREADED] [CUSTOM_MAIN] [LABELS ...]
#                  [TIMEOUT seconds])
# One GoogleTest executable registered test by test with CTest. THREADED marks suites that
# also run under ThreadSanitizer; they are collected in the `avrane_threaded_tests` target.
# CUSTOM_MAIN is for suites that bring their own main (for example to create a Qt
# application object first).
function(avrane_add_test name)
  cmake_parse_arguments(T "THREADED;CUSTOM_MAIN" "TIMEOUT" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gmock)
  if(NOT T_CUSTOM_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  set(labels ${T_LABELS})
  if(T_THREADED)
    list(APPEND labels threaded)
    add_dependencies(avrane_threaded_tests ${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(properties TIMEOUT ${T_TIMEOUT})
  if(labels)
    list(APPEND properties LABELS "${labels}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES ${properties})
endfunction()
