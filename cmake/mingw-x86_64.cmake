# Cross toolchain: 64-bit Windows. The same sources as the shipped 32-bit stub, built for the
# machines whose kernel cannot run 32-bit Linux programs (and so no 32-bit Wine): the Wine and
# end-to-end tests run these builds under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
