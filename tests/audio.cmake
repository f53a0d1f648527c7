# Music: the spectrum's definition, and Music playing real MP3 files (made by lame at
# test time) on SDL's disk audio driver.
brakvane_add_test(NAME audio_spectrum_test
  SOURCES audio/FrequencyAnalyserTest.cpp
  LIBS brakvane_audio)

brakvane_add_test(NAME audio_music_test
  SOURCES audio/MusicPlaybackTest.cpp audio/MusicFailureTest.cpp audio/MusicHeardTest.cpp audio/MusicHarness.cpp
  LIBS brakvane_audio)
