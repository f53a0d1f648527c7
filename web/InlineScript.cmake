# Writes the page's shell (SHELL) with its script (SCRIPT) in place of the
# script's tag, into OUT: cmake -DSHELL=... -DSCRIPT=... -DOUT=... -P InlineScript.cmake
file(READ ${SHELL} shell)
file(READ ${SCRIPT} script)
get_filename_component(name ${SCRIPT} NAME)
set(tag "<script src=\"${name}\"></script>")
string(FIND "${shell}" "${tag}" at)
if(at LESS 0)
  message(FATAL_ERROR "${SHELL} has no ${tag}")
endif()
string(REPLACE "${tag}" "<script>\n${script}</script>" shell "${shell}")
file(WRITE ${OUT} "${shell}")
