# Defines log_fuzzer (clang only): the error-log reader, item lookup and XML copy.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "log_fuzzer needs clang; it is not built")
else()
    set(_crash ${PROJECT_SOURCE_DIR}/crash)
    quillan_fuzzer(log_fuzzer ${CMAKE_CURRENT_LIST_DIR}/log_fuzzer.cpp
        ${_crash}/log/log_file.cpp ${_crash}/log/log_xml.cpp ${_crash}/log/log_path.cpp
        ${_crash}/report/log_item.cpp
        LIBS fuzz_options fuzz_core)
endif()
