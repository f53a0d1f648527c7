# Timing on the desktop testbeds (tests/support): left out of the sanitized
# build, where the instrumented program runs several times slower and no longer
# keeps up with the display or the sound it is measured against.
if(NOT BRAKVANE_SANITIZE)
  brakvane_add_test(NAME desktop_timing_tests SOURCES desktop/DesktopTimingTest.cpp LIBS brakvane_testbeds)
  add_dependencies(desktop_timing_tests brakvane)
endif()
