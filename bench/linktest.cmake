# tarnik link-test against a simulated pair (tarnik-sim --peer-link): the
# throughput each way against the line rate, or the air rate where that is
# lower; the last line is "worst share: X.X %". Run: linktest_bench [packets].
if(TARGET tarnik-sim AND TARGET tarnik)
  add_executable(linktest_bench ${CMAKE_CURRENT_LIST_DIR}/linktest_bench.cpp)
  find_package(nlohmann_json 3.2 REQUIRED)
  target_link_libraries(linktest_bench PRIVATE nlohmann_json::nlohmann_json)
  target_compile_definitions(linktest_bench PRIVATE TARNIK_SIM_BINARY="$<TARGET_FILE:tarnik-sim>"
                                                    TARNIK_BINARY="$<TARGET_FILE:tarnik>")
  add_dependencies(linktest_bench tarnik-sim tarnik)
endif()
