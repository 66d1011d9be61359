# Defines dns_reply_fuzzer (clang only): DNS replies as a server (or anyone) may send them.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "dns_reply_fuzzer needs clang; it is not built")
else()
    set(_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_executable(dns_reply_fuzzer ${CMAKE_CURRENT_LIST_DIR}/dns_reply_fuzzer.cpp
        ${PROJECT_SOURCE_DIR}/crash/sending/dns_mx.cpp ${PROJECT_SOURCE_DIR}/crash/sending/socket_errors.cpp
        ${PROJECT_SOURCE_DIR}/framework/core/convert.cpp ${PROJECT_SOURCE_DIR}/framework/core/exceptions.cpp)
    target_include_directories(dns_reply_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(dns_reply_fuzzer PRIVATE -Wall -Wextra -Wshadow -Werror ${_fuzz_flags})
    target_link_options(dns_reply_fuzzer PRIVATE ${_fuzz_flags})
    set_target_properties(dns_reply_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endif()
