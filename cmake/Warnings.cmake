# Warnings for every target of the project; -Werror is left to CI-like builds
# (VELMORA_WERROR) so a newer compiler's new warning does not stop a user's build.
option(VELMORA_WERROR "Treat warnings as errors" OFF)
if(MSVC)
  add_compile_options(/W4 /utf-8)
else()
  add_compile_options(-Wall -Wextra -Wpedantic)
  if(VELMORA_WERROR)
    add_compile_options(-Werror)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      # GCC 12 reports an impossible overlap inside std::string's operator+
      # ("x" + std::string) once it inlines it; the warning stays on, but not fatal.
      add_compile_options(-Wno-error=restrict)
    endif()
  endif()
endif()

# velmora_gtest(NAME LABEL SOURCES... [LIBS ...]) adds one GoogleTest executable
# whose tests carry the layer label, so `ctest -L link` runs one layer.
function(velmora_gtest name label)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} PROPERTIES LABELS ${label} DISCOVERY_TIMEOUT 60)
endfunction()
