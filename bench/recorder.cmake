# One measurement pass of the servo recorder with every channel against the
# in-process simulated axis, drawing included; prints "pass_us_median <t>".
if(TARGET kelvane_recorder AND TARGET kelvane_sim)
  add_executable(recorder_bench ${CMAKE_CURRENT_LIST_DIR}/recorder_bench.cpp)
  target_link_libraries(recorder_bench PRIVATE kelvane_recorder kelvane_sim Qt6::Widgets)
endif()
