brakvane_add_test(NAME window_tests SOURCES display/WindowTest.cpp LIBS brakvane_display)
