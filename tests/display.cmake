brakvane_add_test(NAME window_tests SOURCES display/WindowTest.cpp LIBS brakvane_display)
brakvane_add_test(NAME window_options_tests SOURCES display/WindowOptionsTest.cpp LIBS brakvane_display)
