# Shared build settings and helpers for every Tarnwatch target.

# Warnings and sanitizers for our own code only.
function(tarnwatch_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(TARNWATCH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(TARNWATCH_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${TARNWATCH_SANITIZE} -fno-omit-frame-pointer -g)
    target_link_options(${target} PRIVATE -fsanitize=${TARNWATCH_SANITIZE})
    if(TARNWATCH_SANITIZE MATCHES "undefined")
      target_compile_options(${target} PRIVATE -fno-sanitize-recover=undefined)
    endif()
  endif()
endfunction()

# tarnwatch_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib... [LABEL threaded] [DEFINITIONS X=1...]
#                    [PROPERTIES name value...])
# One GoogleTest executable, discovered into CTest. Every test runs in the normal and the
# AddressSanitizer runs; the label "threaded" marks those the ThreadSanitizer run executes too.
# PROPERTIES are further CTest properties of each of its tests.
function(tarnwatch_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL" "SOURCES;LIBS;DEFINITIONS;PROPERTIES" ${ARGN})
  if(TARNWATCH_THREADED_TESTS_ONLY AND NOT T_LABEL STREQUAL "threaded")
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  tarnwatch_target_defaults(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} tarnwatch_test_support GTest::gtest GTest::gmock)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(T_DEFINITIONS)
    target_compile_definitions(${T_NAME} PRIVATE ${T_DEFINITIONS})
  endif()
  set(label unit)
  if(T_LABEL)
    set(label ${T_LABEL})
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label} TIMEOUT 300 ${T_PROPERTIES})
endfunction()
