# 32-bit Windows: built and linked here, but these machines cannot run it.
set(MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
