# Defines options_fuzzer (clang only): the crash reporter's options-stream loader.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "options_fuzzer needs clang; it is not built")
else()
    quillan_fuzzer(options_fuzzer ${CMAKE_CURRENT_LIST_DIR}/options_fuzzer.cpp LIBS fuzz_options fuzz_core)
endif()
