# Configures one small project per case with the project's own library function and checks
# whether the configure step passes and what it says.
file(REMOVE_RECURSE ${WORK})
set(failures 0)

# case: name, the library's folder's files, its quillan_library arguments, what follows it,
# whether configuring must succeed, a text the failure must contain.
function(configure_case name files arguments after expect_ok expect_text)
    set(dir ${WORK}/${name})
    file(MAKE_DIRECTORY ${dir}/lib)
    foreach(f ${files})
        string(MAKE_C_IDENTIFIER "${name}_${f}" symbol)
        file(WRITE ${dir}/lib/${f} "int ${symbol};\n")
    endforeach()
    file(WRITE ${dir}/CMakeLists.txt
        "cmake_minimum_required(VERSION 3.25)\nproject(P LANGUAGES CXX)\n"
        "include(${QUILLAN_SOURCE_DIR}/cmake/QuillanTargets.cmake)\nadd_subdirectory(lib)\n")
    file(WRITE ${dir}/lib/CMakeLists.txt "quillan_library(plib ${arguments})\n${after}\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${dir} -B ${dir}/build RESULT_VARIABLE rc OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(expect_ok AND NOT rc EQUAL 0)
        message(SEND_ERROR "${name}: configuring failed:\n${err}")
        math(EXPR failures "${failures} + 1")
    elseif(NOT expect_ok AND rc EQUAL 0)
        message(SEND_ERROR "${name}: configuring passed, it must fail")
        math(EXPR failures "${failures} + 1")
    elseif(NOT expect_ok)
        string(REPLACE "\n" " " flat "${err}")
        string(REGEX REPLACE " +" " " flat "${flat}")
        string(FIND "${flat}" "${expect_text}" at)
        if(at EQUAL -1)
            message(SEND_ERROR "${name}: the failure does not say \"${expect_text}\":\n${err}")
            math(EXPR failures "${failures} + 1")
        endif()
    endif()
    set(failures ${failures} PARENT_SCOPE)
endfunction()

configure_case(portable "a.cpp;b.cpp" "PLATFORM_FREE SOURCES a.cpp b.cpp" "" TRUE "")
configure_case(pair "a.cpp;file_win.cpp;file_posix.cpp" "PLATFORM_FREE SOURCES a.cpp file_win.cpp" "" TRUE "")
configure_case(windows_file "a.cpp;keys_win.cpp" "PLATFORM_FREE SOURCES a.cpp keys_win.cpp" "" FALSE
               "plib compiles the Windows file keys_win.cpp")
configure_case(late_source "a.cpp;late.cpp" "PLATFORM_FREE SOURCES a.cpp" "target_sources(plib PRIVATE late.cpp)"
               FALSE "plib gains late.cpp after its declaration")
configure_case(late_windows_file "a.cpp;wait_win.cpp" "PLATFORM_FREE SOURCES a.cpp"
               "target_sources(plib PRIVATE wait_win.cpp)" FALSE "plib compiles the Windows file wait_win.cpp")

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} case(s) failed")
endif()
message(STATUS "every case as expected")
