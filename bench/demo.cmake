add_executable(bench_demo demo_bench.cpp)
target_link_libraries(bench_demo PRIVATE brakvane_demo brakvane_display X11)
target_compile_definitions(bench_demo PRIVATE BRAKVANE_PROGRAM="$<TARGET_FILE:brakvane>")
add_dependencies(bench_demo brakvane)
