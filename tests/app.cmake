brakvane_add_test(NAME timer_tests SOURCES app/TimerTest.cpp LIBS brakvane_timer)
brakvane_add_test(NAME program_tests SOURCES app/ProgramTest.cpp)
add_dependencies(program_tests brakvane)
