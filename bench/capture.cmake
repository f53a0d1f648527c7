# The offline renderer: seconds of video made per second of waiting.
add_executable(bench_capture capture_video.cpp)
target_compile_definitions(bench_capture PRIVATE BRAKVANE_CAPTURE="$<TARGET_FILE:brakvane-capture>")
add_dependencies(bench_capture brakvane-capture)
