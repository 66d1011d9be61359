# Defines log_fuzzer (clang only): the error-log reader, item lookup and XML copy.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "log_fuzzer needs clang; it is not built")
else()
    set(_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    set(_core ${PROJECT_SOURCE_DIR}/framework/core)
    set(_crash ${PROJECT_SOURCE_DIR}/crash)
    add_executable(log_fuzzer ${CMAKE_CURRENT_LIST_DIR}/log_fuzzer.cpp
        ${_crash}/log/log_file.cpp ${_crash}/log/log_xml.cpp ${_crash}/log/log_path.cpp
        ${_crash}/report/log_item.cpp ${_crash}/options/options.cpp ${_crash}/options/options_stream.cpp
        ${_core}/exceptions.cpp ${_core}/streams.cpp ${_core}/convert.cpp ${_core}/file_common.cpp
        ${_core}/file_posix.cpp)
    target_include_directories(log_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(log_fuzzer PRIVATE -Wall -Wextra -Wshadow -Werror ${_fuzz_flags})
    target_link_options(log_fuzzer PRIVATE ${_fuzz_flags})
    set_target_properties(log_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endif()
