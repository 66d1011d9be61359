# Defines moduledata_fuzzer (clang only): the module data block reader and its line tables.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "moduledata_fuzzer needs clang; it is not built")
else()
    find_package(ZLIB REQUIRED)
    set(_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    set(_md ${PROJECT_SOURCE_DIR}/crash/moduledata)
    set(_codec ${PROJECT_SOURCE_DIR}/crash/codec)
    set(_options ${PROJECT_SOURCE_DIR}/crash/options)
    set(_core ${PROJECT_SOURCE_DIR}/framework/core)
    add_executable(moduledata_fuzzer ${CMAKE_CURRENT_LIST_DIR}/moduledata_fuzzer.cpp
        ${_md}/names.cpp ${_md}/line_records.cpp ${_md}/line_tables.cpp ${_md}/module_block.cpp
        ${_md}/export_names.cpp ${_md}/pe_exports.cpp
        ${_codec}/base64.cpp ${_codec}/md5.cpp ${_codec}/tea.cpp
        ${_options}/options.cpp ${_options}/options_stream.cpp ${_core}/exceptions.cpp ${_core}/streams.cpp)
    target_include_directories(moduledata_fuzzer PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(moduledata_fuzzer PRIVATE -Wall -Wextra -Wshadow -Werror ${_fuzz_flags})
    target_link_options(moduledata_fuzzer PRIVATE ${_fuzz_flags})
    target_link_libraries(moduledata_fuzzer PRIVATE ZLIB::ZLIB)
    set_target_properties(moduledata_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/fuzz)
endif()
