# Defines stack_fuzzer (clang only): the stack scan's call forms of both word sizes over
# arbitrary code and stack bytes, and the hiding of repeats.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "stack_fuzzer needs clang; it is not built")
else()
    set(_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    set(_stack ${PROJECT_SOURCE_DIR}/crash/stack)
    add_executable(stack_fuzzer ${CMAKE_CURRENT_LIST_DIR}/stack_fuzzer.cpp
        ${_stack}/call_patterns.cpp ${_stack}/stack_scan.cpp)
    target_include_directories(stack_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(stack_fuzzer PRIVATE -Wall -Wextra -Wshadow -Werror ${_fuzz_flags})
    target_link_options(stack_fuzzer PRIVATE ${_fuzz_flags})
    set_target_properties(stack_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endif()
