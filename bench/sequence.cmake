# Sequence lines over a pseudo-terminal against kelvane-bussim without reply
# delay; prints "line_overhead_us <t>", the program's own CPU time per line.
if(TARGET kelvane_sequences_core AND TARGET kelvane-bussim)
  add_executable(sequence_bench ${CMAKE_CURRENT_LIST_DIR}/sequence_bench.cpp)
  target_include_directories(sequence_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(sequence_bench PRIVATE KELVANE_BUSSIM="$<TARGET_FILE:kelvane-bussim>")
  target_link_libraries(sequence_bench PRIVATE kelvane_sequences_core Qt6::Core)
  add_dependencies(sequence_bench kelvane-bussim)
endif()
