# The offline renderer: its command line, schedule and files in-process; its
# offscreen context, spectrum and PNG encoding; the real brakvane-capture
# program, with no display, on a small data set made at test time.
brakvane_add_test(NAME capture_unit_tests
  SOURCES capture/CaptureUnitTest.cpp capture/VideoPartsTest.cpp
  LIBS brakvane_capture)

brakvane_add_test(NAME capture_render_tests
  SOURCES capture/RenderPartsTest.cpp capture/CaptureFixture.cpp
  LIBS brakvane_capture)

brakvane_add_test(NAME capture_program_tests
  SOURCES capture/CaptureProgramTest.cpp capture/CaptureVideoTest.cpp capture/CaptureSafetyTest.cpp capture/CaptureSizeTest.cpp
    capture/CaptureFixture.cpp
  LIBS brakvane_capture)
add_dependencies(capture_program_tests brakvane-capture)
