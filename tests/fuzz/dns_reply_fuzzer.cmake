# Defines dns_reply_fuzzer (clang only): DNS replies as a server (or anyone) may send them.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "dns_reply_fuzzer needs clang; it is not built")
else()
    quillan_fuzzer(dns_reply_fuzzer ${CMAKE_CURRENT_LIST_DIR}/dns_reply_fuzzer.cpp
        ${PROJECT_SOURCE_DIR}/crash/sending/dns_mx.cpp ${PROJECT_SOURCE_DIR}/crash/sending/socket_errors.cpp
        LIBS fuzz_core)
endif()
