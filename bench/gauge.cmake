# One paint of a 400x40 bar gauge; prints "paint_us_median <p>".
if(TARGET levelon_core)
  add_executable(gauge_bench ${CMAKE_CURRENT_LIST_DIR}/gauge_bench.cpp)
  target_link_libraries(gauge_bench PRIVATE levelon_core Qt6::Gui)
endif()
