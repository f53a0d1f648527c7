# The install and the Debian package, run from temporary folders.
brakvane_add_test(NAME install_tests SOURCES packaging/InstallTest.cpp)
add_dependencies(install_tests brakvane brakvane-capture)
