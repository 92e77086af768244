# One Aktualisieren of an online control center window against the
# in-process simulated axis; prints "tick_us_median <t>".
if(TARGET kelvane_controlcenter AND TARGET kelvane_sim)
  add_executable(controlcenter_bench ${CMAKE_CURRENT_LIST_DIR}/controlcenter_bench.cpp)
  target_link_libraries(controlcenter_bench PRIVATE kelvane_controlcenter kelvane_sim Qt6::Widgets)
endif()
