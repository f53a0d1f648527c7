# The demo on the desktop testbeds (tests/support): frame pacing under a paced
# compositor, picture against sound through a real sound server.
add_executable(bench_desktop desktop_bench.cpp)
target_link_libraries(bench_desktop PRIVATE brakvane_testbeds)
add_dependencies(bench_desktop brakvane)
