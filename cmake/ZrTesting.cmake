# SPDX-License-Identifier: GPL-3.0-or-later
# With ZR_SANITIZE, every finding ends the test with an error, and a program the tests start with
# the fault shim preloaded gets the AddressSanitizer runtime preloaded first, as it must be.
set(ZR_TEST_ENV "")
# LD_PRELOAD for a test that preloads the fault shim into itself.
set(ZR_SHIM_PRELOAD "LD_PRELOAD=$<TARGET_FILE:zr_fault_shim>")
if(ZR_SANITIZE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
        OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(asan_runtime "${asan_runtime}" REALPATH)
    set(ZR_TEST_ENV "ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0"
        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0"
        "ZR_PRELOAD_FIRST=${asan_runtime}")
    set(ZR_SHIM_PRELOAD "LD_PRELOAD=${asan_runtime}:$<TARGET_FILE:zr_fault_shim>")
endif()
# With ZR_TSAN, the same for ThreadSanitizer: a data race or a lock taken in two orders ends the
# test with an error.
if(ZR_TSAN)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libtsan.so
        OUTPUT_VARIABLE tsan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(tsan_runtime "${tsan_runtime}" REALPATH)
    set(ZR_TEST_ENV "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:exitcode=66"
        "ZR_PRELOAD_FIRST=${tsan_runtime}")
    set(ZR_SHIM_PRELOAD "LD_PRELOAD=${tsan_runtime}:$<TARGET_FILE:zr_fault_shim>")
endif()

# zr_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>]
#             [LABELS <labels...>])
# Builds one test executable and registers it with ctest. Every test runs in a working
# directory of its own under the build tree, with TMPDIR, XDG_CONFIG_HOME and XDG_STATE_HOME
# pointing inside it, so no test touches anything outside its temporary folders. The label
# "threads" marks the tests of what runs on several threads (`make tsan` runs those).
function(zr_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE zr_options ${T_LIBS})
    set(work ${CMAKE_BINARY_DIR}/test-work/${T_NAME})
    file(MAKE_DIRECTORY ${work}/tmp ${work}/config ${work}/state)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${work})
    set(env TMPDIR=${work}/tmp XDG_CONFIG_HOME=${work}/config XDG_STATE_HOME=${work}/state
        HOME=${work} LC_ALL=C.UTF-8 TZ=UTC QT_QPA_PLATFORM=offscreen ${ZR_TEST_ENV} ${T_ENV})
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# zr_add_script_test(NAME <name> COMMAND <script> [args...])
# Registers a test that is a script, with the same working directory and environment as
# zr_add_test gives a test executable.
function(zr_add_script_test)
    cmake_parse_arguments(T "" "NAME" "COMMAND" ${ARGN})
    set(work ${CMAKE_BINARY_DIR}/test-work/${T_NAME})
    file(MAKE_DIRECTORY ${work}/tmp ${work}/config ${work}/state)
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} WORKING_DIRECTORY ${work})
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "TMPDIR=${work}/tmp;XDG_CONFIG_HOME=${work}/config;XDG_STATE_HOME=${work}/state;HOME=${work};LC_ALL=C.UTF-8;TZ=UTC;QT_QPA_PLATFORM=offscreen"
        TIMEOUT 600)
endfunction()
