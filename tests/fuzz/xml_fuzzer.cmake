# Defines xml_fuzzer (clang only): the XML reader.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "xml_fuzzer needs clang; it is not built")
else()
    quillan_fuzzer(xml_fuzzer ${CMAKE_CURRENT_LIST_DIR}/xml_fuzzer.cpp LIBS fuzz_xml fuzz_core)
endif()
