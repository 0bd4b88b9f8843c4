# 1,000 read/write cycles against tarnik-sim on a pseudo-terminal, through the
# operating system's serial port; prints open descriptors and memory at the
# start and the end. Run: soak_bench [cycles].
if(TARGET tarnik-sim)
  add_executable(soak_bench ${CMAKE_CURRENT_LIST_DIR}/soak_bench.cpp)
  target_link_libraries(soak_bench PRIVATE kv_device kv_recorder_host)
  target_compile_definitions(soak_bench PRIVATE TARNIK_SIM_BINARY="$<TARGET_FILE:tarnik-sim>")
  add_dependencies(soak_bench tarnik-sim)
endif()
