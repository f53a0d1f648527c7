# The timeline drawn at chosen moments with pictures of known colours, and
# the real program run to its end on the demo's own data.
brakvane_add_test(NAME timeline_tests
  SOURCES demo/TimelineTest.cpp
  LIBS brakvane_timeline brakvane_display)
brakvane_add_test(NAME demo_run_tests SOURCES demo/DemoRunTest.cpp)
add_dependencies(demo_run_tests brakvane)
brakvane_add_test(NAME music_clock_tests SOURCES demo/MusicClockTest.cpp LIBS brakvane_demo)
