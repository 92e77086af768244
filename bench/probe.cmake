# One Aktualisieren of an online AK4 probe window against the in-process
# simulated board; prints "tick_us_median <t>".
if(TARGET kelvane_probes AND TARGET kelvane_sim)
  add_executable(probe_bench ${CMAKE_CURRENT_LIST_DIR}/probe_bench.cpp)
  target_link_libraries(probe_bench PRIVATE kelvane_probes kelvane_sim Qt6::Widgets)
endif()
