# A full device search against a silent pseudo-terminal on the real POSIX port.
add_executable(scan_bench ${CMAKE_CURRENT_LIST_DIR}/scan_bench.cpp)
target_link_libraries(scan_bench PRIVATE kv_device kv_recorder_host)
