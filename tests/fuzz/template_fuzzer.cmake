# Defines template_fuzzer (clang only): a whole hot.ini through the reader and both walks.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "template_fuzzer needs clang; it is not built")
else()
    set(_engine ${PROJECT_SOURCE_DIR}/engine)
    quillan_fuzzer(template_fuzzer ${CMAKE_CURRENT_LIST_DIR}/template_fuzzer.cpp
        ${_engine}/store/template_loader.cpp ${_engine}/store/template_file.cpp ${_engine}/menu/match.cpp
        LIBS fuzz_xml fuzz_core)
endif()
