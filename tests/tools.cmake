# The data generator: its building blocks, its pictures, music and model, and
# the committed data/ it made.
if(TARGET brakvane_makedata)
  brakvane_add_test(NAME makedata_tests
    SOURCES tools/MakeDataTest.cpp tools/PictureTest.cpp tools/SynthTest.cpp tools/DataTest.cpp
    LIBS brakvane_makedata brakvane_assets)
  target_compile_definitions(makedata_tests PRIVATE BRAKVANE_DATA_DIR="${BRAKVANE_ROOT}/data")
endif()
