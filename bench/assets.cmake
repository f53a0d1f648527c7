# Assets: model loading against reading the file, texture loading against bare
# libpng decoding. The texture benchmark takes its GL context from the test
# support library.
add_executable(bench_assets_model assets_model.cpp)
target_link_libraries(bench_assets_model PRIVATE brakvane_assets)

add_executable(bench_assets_texture assets_texture.cpp)
target_link_libraries(bench_assets_texture PRIVATE brakvane_assets brakvane_testsupport PkgConfig::LIBPNG)
target_compile_definitions(bench_assets_texture PRIVATE BRAKVANE_SOURCE_DIR="${BRAKVANE_ROOT}")
