# A full device search in the desktop program's window against a silent
# pseudo-terminal, needs an X server: `xvfb-run -a scan_window_bench [runs]`.
if(TARGET velmora)
  add_executable(scan_window_bench ${CMAKE_CURRENT_LIST_DIR}/scan_window_bench.cpp)
  target_compile_definitions(scan_window_bench PRIVATE VELMORA_PROGRAM="$<TARGET_FILE:velmora>")
  add_dependencies(scan_window_bench velmora)
endif()
