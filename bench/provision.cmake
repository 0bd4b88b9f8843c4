# A provisioning run with known line settings against tarnik-sim: seconds per
# unit from the module answering to its record written, against the line time
# of the unit's exchanges; the last line is "ratio: X.XX". Run: provision_bench [units].
if(TARGET tarnik-sim AND TARGET kv_cli)
  add_executable(provision_bench ${CMAKE_CURRENT_LIST_DIR}/provision_bench.cpp)
  target_link_libraries(provision_bench PRIVATE kv_cli)
  target_compile_definitions(provision_bench PRIVATE TARNIK_SIM_BINARY="$<TARGET_FILE:tarnik-sim>")
  add_dependencies(provision_bench tarnik-sim)
endif()
