# Music: the spectrum fetch against the bare transform it is built on. The track is made
# by lame at run time with the tests' track maker.
add_executable(bench_audio_spectrum audio_spectrum.cpp)
target_link_libraries(bench_audio_spectrum PRIVATE brakvane_audio brakvane_testsupport)
