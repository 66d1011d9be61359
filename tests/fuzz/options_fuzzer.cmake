# Defines options_fuzzer (clang only): the crash reporter's options-stream loader.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "options_fuzzer needs clang; it is not built")
else()
    set(_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    set(_core ${PROJECT_SOURCE_DIR}/framework/core)
    set(_options ${PROJECT_SOURCE_DIR}/crash/options)
    add_executable(options_fuzzer ${CMAKE_CURRENT_LIST_DIR}/options_fuzzer.cpp
        ${_options}/options.cpp ${_options}/options_stream.cpp
        ${_core}/exceptions.cpp ${_core}/streams.cpp)
    target_include_directories(options_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(options_fuzzer PRIVATE -Wall -Wextra -Wshadow -Werror ${_fuzz_flags})
    target_link_options(options_fuzzer PRIVATE ${_fuzz_flags})
    set_target_properties(options_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endif()
