# Start-up of the desktop program to the first paint of its main window, and its
# peak memory, against a bare Qt window built here: `startup_bench [runs]`.
if(TARGET velmora)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  add_executable(startup_bench_bare ${CMAKE_CURRENT_LIST_DIR}/startup_bench_bare.cpp)
  target_link_libraries(startup_bench_bare PRIVATE Qt6::Widgets)

  add_executable(startup_bench ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp)
  target_compile_definitions(startup_bench PRIVATE
    VELMORA_PROGRAM="$<TARGET_FILE:velmora>"
    BARE_WINDOW_PROGRAM="$<TARGET_FILE:startup_bench_bare>")
  add_dependencies(startup_bench velmora startup_bench_bare)
endif()
