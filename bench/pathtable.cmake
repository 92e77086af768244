# Resampling a full path of 6800 points; prints "resample_ms <t>", the median.
if(TARGET kelvane_pathtable_core)
  add_executable(path_bench ${CMAKE_CURRENT_LIST_DIR}/path_bench.cpp)
  target_link_libraries(path_bench PRIVATE kelvane_pathtable_core Qt6::Core)
endif()
