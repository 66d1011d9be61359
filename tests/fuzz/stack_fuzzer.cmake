# Defines stack_fuzzer (clang only): the stack scan's call forms of both word sizes over
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "stack_fuzzer needs clang; it is not built")
else()
    set(_stack ${PROJECT_SOURCE_DIR}/crash/stack)
    quillan_fuzzer(stack_fuzzer ${CMAKE_CURRENT_LIST_DIR}/stack_fuzzer.cpp
        ${_stack}/call_patterns.cpp ${_stack}/stack_scan.cpp)
endif()
