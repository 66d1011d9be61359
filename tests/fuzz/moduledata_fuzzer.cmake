# Defines moduledata_fuzzer (clang only): the module data block reader and its line tables.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "moduledata_fuzzer needs clang; it is not built")
else()
    find_package(ZLIB REQUIRED)
    set(_md ${PROJECT_SOURCE_DIR}/crash/moduledata)
    set(_codec ${PROJECT_SOURCE_DIR}/crash/codec)
    quillan_fuzzer(moduledata_fuzzer ${CMAKE_CURRENT_LIST_DIR}/moduledata_fuzzer.cpp
        ${_md}/names.cpp ${_md}/line_records.cpp ${_md}/line_tables.cpp ${_md}/module_block.cpp
        ${_md}/export_names.cpp ${_md}/pe_exports.cpp
        ${_codec}/base64.cpp ${_codec}/md5.cpp ${_codec}/tea.cpp
        LIBS fuzz_options fuzz_core ZLIB::ZLIB)
endif()
