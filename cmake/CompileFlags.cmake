# The house's compile flags, in one place for every build of the project's
# sources: the whole project, the data generator built on its own and the
# web page (emscripten's clang).
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

option(BRAKVANE_WERROR "Treat compiler warnings as errors" OFF)

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2 $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
if(BRAKVANE_WERROR)
  add_compile_options(-Werror)
endif()
