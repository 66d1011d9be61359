# Defines template_fuzzer (clang only): a whole hot.ini through the reader and both walks.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "template_fuzzer needs clang; it is not built")
else()
    set(_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    set(_core ${PROJECT_SOURCE_DIR}/framework/core)
    set(_xml ${PROJECT_SOURCE_DIR}/components/xml)
    set(_engine ${PROJECT_SOURCE_DIR}/engine)
    add_executable(template_fuzzer ${CMAKE_CURRENT_LIST_DIR}/template_fuzzer.cpp
        ${_engine}/store/template_loader.cpp ${_engine}/store/template_file.cpp ${_engine}/menu/match.cpp
        ${_xml}/simple_xml.cpp ${_xml}/simple_xml_io.cpp ${_xml}/xml_parser.cpp ${_xml}/xml_element_parser.cpp
        ${_xml}/xml_pool.cpp
        ${_core}/exceptions.cpp ${_core}/convert.cpp ${_core}/streams.cpp ${_core}/file_common.cpp
        ${_core}/file_posix.cpp)
    target_include_directories(template_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(template_fuzzer PRIVATE -Wall -Wextra -Wshadow -Werror ${_fuzz_flags})
    target_link_options(template_fuzzer PRIVATE ${_fuzz_flags})
    set_target_properties(template_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endif()
