add_executable(mainloop_bench ${CMAKE_CURRENT_LIST_DIR}/mainloop_bench.cpp)
target_link_libraries(mainloop_bench PRIVATE kelvane_main kelvane_controlcenter kelvane_params kelvane_sim Qt6::Widgets)
