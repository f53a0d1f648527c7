brakvane_add_test(NAME timer_tests SOURCES app/TimerTest.cpp LIBS brakvane_timer)
brakvane_add_test(NAME program_tests SOURCES app/ProgramTest.cpp)
add_dependencies(program_tests brakvane)
# Pictures and model files far larger than the demo's own, through the real program.
brakvane_add_test(NAME large_file_tests SOURCES app/LargeFilesTest.cpp)
add_dependencies(large_file_tests brakvane)
brakvane_add_test(NAME options_tests SOURCES app/OptionsTest.cpp)
add_dependencies(options_tests brakvane)
