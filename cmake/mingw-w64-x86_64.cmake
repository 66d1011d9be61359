# The same sources as a 64-bit Windows build, for hosts whose kernel cannot run
# 32-bit Wine; the tests then run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
