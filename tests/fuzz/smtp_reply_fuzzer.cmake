# Defines smtp_reply_fuzzer (clang only): SMTP replies as a server may send them, in any pieces.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "smtp_reply_fuzzer needs clang; it is not built")
else()
    set(_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_executable(smtp_reply_fuzzer ${CMAKE_CURRENT_LIST_DIR}/smtp_reply_fuzzer.cpp
        ${PROJECT_SOURCE_DIR}/crash/sending/smtp_reply.cpp)
    target_include_directories(smtp_reply_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(smtp_reply_fuzzer PRIVATE -Wall -Wextra -Wshadow -Werror ${_fuzz_flags})
    target_link_options(smtp_reply_fuzzer PRIVATE ${_fuzz_flags})
    set_target_properties(smtp_reply_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endif()
