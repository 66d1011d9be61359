# Gives Windows executables their module data block ("MLDATA"): after each link the host tool
# tools/mldata reads the executable's DWARF and stores the block in it. The tool is a host
# program, so the Windows presets build it as a separate native project, one build beside
# theirs that every preset of this source tree shares (it takes minutes: it links LLVM's DWARF reader).
include_guard(GLOBAL)
include(ExternalProject)

option(QUILLAN_COMPILE_CHECK "Compile every target only: no module data, no stripping" OFF)
set(QUILLAN_MLDATA_HOST_DIR ${PROJECT_SOURCE_DIR}/build/_mldata CACHE INTERNAL "native build of tools/mldata")
set(QUILLAN_MLDATA ${QUILLAN_MLDATA_HOST_DIR}/mldata CACHE INTERNAL "the module data writer")

function(_quillan_mldata_host)
    if(TARGET mldata_host)
        return()
    endif()
    # Optimised: the tool runs after every Windows link.
    ExternalProject_Add(mldata_host
        SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/mldata
        BINARY_DIR ${QUILLAN_MLDATA_HOST_DIR}
        CMAKE_GENERATOR Ninja
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
                   -DQUILLAN_IMAGE_TESTS=ON
        BUILD_ALWAYS ON
        INSTALL_COMMAND ""
        BUILD_BYPRODUCTS ${QUILLAN_MLDATA} ${QUILLAN_MLDATA_HOST_DIR}/image_tests/mldata_image_tests)
endfunction()

# quillan_module_data(target [SHIP])
# Stores the block in target after it is linked (every quillan_test executable gets it; other
# executables, such as crash programs, call this once). SHIP: the program as shipped: the full file is
# kept beside it as NAME.unstripped.exe and the shipped one loses its debug sections and symbols.
function(quillan_module_data target)
    if(NOT WIN32 OR QUILLAN_COMPILE_CHECK)
        return()
    endif()
    # Once per target: a second call would write the block twice.
    get_target_property(done ${target} QUILLAN_MODULE_DATA)
    if(done)
        return()
    endif()
    set_target_properties(${target} PROPERTIES QUILLAN_MODULE_DATA ON)
    cmake_parse_arguments(A "SHIP" "" "" ${ARGN})
    _quillan_mldata_host()
    add_dependencies(${target} mldata_host)
    set(commands COMMAND ${QUILLAN_MLDATA} --write $<TARGET_FILE:${target}> --source-root ${PROJECT_SOURCE_DIR}
                         --binary-root ${CMAKE_BINARY_DIR})
    if(A_SHIP)
        list(APPEND commands
            COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}>
                    $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.unstripped.exe
            COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
endfunction()
