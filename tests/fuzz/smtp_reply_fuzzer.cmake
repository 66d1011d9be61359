# Defines smtp_reply_fuzzer (clang only): SMTP replies as a server may send them, in any pieces.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "smtp_reply_fuzzer needs clang; it is not built")
else()
    quillan_fuzzer(smtp_reply_fuzzer ${CMAKE_CURRENT_LIST_DIR}/smtp_reply_fuzzer.cpp
        ${PROJECT_SOURCE_DIR}/crash/sending/smtp_reply.cpp)
endif()
