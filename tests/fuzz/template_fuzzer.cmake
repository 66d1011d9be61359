# Defines template_fuzzer (clang only): a whole hot.ini through the reader and both walks.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "template_fuzzer needs clang; it is not built")
else()
    set(_core ${PROJECT_SOURCE_DIR}/framework/core)
    set(_xml ${PROJECT_SOURCE_DIR}/components/xml)
    set(_engine ${PROJECT_SOURCE_DIR}/engine)
    quillan_fuzzer(template_fuzzer ${CMAKE_CURRENT_LIST_DIR}/template_fuzzer.cpp
        ${_engine}/store/template_loader.cpp ${_engine}/store/template_file.cpp ${_engine}/menu/match.cpp
        ${_xml}/simple_xml.cpp ${_xml}/simple_xml_io.cpp ${_xml}/xml_parser.cpp ${_xml}/xml_element_parser.cpp
        ${_xml}/xml_pool.cpp
        ${_core}/exceptions.cpp ${_core}/convert.cpp ${_core}/streams.cpp ${_core}/file_common.cpp
        ${_core}/file_posix.cpp)
endif()
