# libFuzzer targets for the model decoder and the PNG decoding path. The asset
# sources they use are compiled again here with coverage instrumentation and
# the sanitizers, leaving the normal brakvane_assets library untouched.
set(BRAKVANE_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

add_library(brakvane_assets_fuzzing STATIC
  ${BRAKVANE_ROOT}/assets/FileBytes.cpp
  ${BRAKVANE_ROOT}/assets/PngDecode.cpp
  ${BRAKVANE_ROOT}/assets/ImageScale.cpp
  ${BRAKVANE_ROOT}/assets/ModelParse.cpp
  ${BRAKVANE_ROOT}/assets/Model.cpp
)
target_include_directories(brakvane_assets_fuzzing PUBLIC ${BRAKVANE_ROOT})
target_compile_options(brakvane_assets_fuzzing PUBLIC ${BRAKVANE_FUZZ_SANITIZERS} PRIVATE -fsanitize=fuzzer-no-link)
target_link_libraries(brakvane_assets_fuzzing PUBLIC PkgConfig::LIBPNG OpenGL::GL)

foreach(name model png)
  add_executable(fuzz_${name} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_${name}.cpp)
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer ${BRAKVANE_FUZZ_SANITIZERS})
  target_link_libraries(fuzz_${name} PRIVATE brakvane_assets_fuzzing)
endforeach()
