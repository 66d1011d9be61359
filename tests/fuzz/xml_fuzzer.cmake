# Defines xml_fuzzer (clang only).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "xml_fuzzer needs clang; it is not built")
else()
    # The sources are compiled straight into the fuzzer, instrumented like it. The project's
    # common flags are left out on purpose: clang has no Windows-1251 execution character set,
    # and the code under test holds no text that would need one.
    set(_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    set(_core ${PROJECT_SOURCE_DIR}/framework/core)
    set(_xml ${PROJECT_SOURCE_DIR}/components/xml)
    add_executable(xml_fuzzer ${CMAKE_CURRENT_LIST_DIR}/xml_fuzzer.cpp
        ${_xml}/simple_xml.cpp ${_xml}/simple_xml_io.cpp ${_xml}/xml_parser.cpp ${_xml}/xml_element_parser.cpp
        ${_xml}/xml_pool.cpp
        ${_core}/exceptions.cpp ${_core}/convert.cpp ${_core}/streams.cpp ${_core}/file_common.cpp
        ${_core}/file_posix.cpp)
    target_include_directories(xml_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(xml_fuzzer PRIVATE -Wall -Wextra -Wshadow -Werror ${_fuzz_flags})
    target_link_options(xml_fuzzer PRIVATE ${_fuzz_flags})
    set_target_properties(xml_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endif()
