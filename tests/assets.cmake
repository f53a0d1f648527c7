# Assets: PNG decoding and resampling, textures on a real GL context, model
# files and the resource cache.
brakvane_add_test(NAME assets_tests
  SOURCES
    assets/PngDecodeTest.cpp
    assets/TextureTest.cpp
    assets/ModelTest.cpp
    assets/ResourceCacheTest.cpp
  LIBS brakvane_assets)
