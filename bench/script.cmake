# Script lines against the in-process simulated bus without reply delay;
# prints "line_overhead_us <t>", the program's own time per executed line.
if(TARGET kelvane_script_core AND TARGET kelvane_sim)
  add_executable(script_bench ${CMAKE_CURRENT_LIST_DIR}/script_bench.cpp)
  target_link_libraries(script_bench PRIVATE kelvane_script_core kelvane_sim Qt6::Core)
endif()
