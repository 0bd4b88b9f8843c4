# tarnik --port auto and scan --all against four simulated modules and two
# silent terminals: the search of every port at once against one port's
# search alone; the last line is "ratio: X.XX".
if(TARGET tarnik AND TARGET tarnik-sim)
  find_package(nlohmann_json 3.2 REQUIRED)
  add_executable(autoport_bench ${CMAKE_CURRENT_LIST_DIR}/autoport_bench.cpp)
  target_link_libraries(autoport_bench PRIVATE nlohmann_json::nlohmann_json)
  target_compile_definitions(autoport_bench PRIVATE TARNIK_SIM_BINARY="$<TARGET_FILE:tarnik-sim>"
                                                    TARNIK_BINARY="$<TARGET_FILE:tarnik>")
  add_dependencies(autoport_bench tarnik tarnik-sim)
endif()
