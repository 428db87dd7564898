# SPDX-License-Identifier: GPL-3.0-or-later
# The hardening Debian builds its packages with, as dpkg-buildflags gives it: fortified C library
# calls, the stack protector, format checks, control-flow protection and a read-only global
# offset table bound at start-up, for every target of an optimised build (the package is made
# from this build). Without dpkg-buildflags the global offset table is still made read-only; the
# sanitizer and fuzz builds bring checks of their own.
option(ZR_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
find_program(ZR_DPKG_BUILDFLAGS dpkg-buildflags)

if(ZR_HARDENING AND ZR_DPKG_BUILDFLAGS AND NOT ZR_SANITIZE AND NOT ZR_TSAN AND NOT ZR_FUZZ)
    # Only the hardening: the optimisation and debug levels stay those of the build type, and
    # the debug information keeps absolute paths, for a debugger in the build tree.
    foreach(flags CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env
                "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-fixfilepath,-fixdebugpath"
                "DEB_${flags}_MAINT_STRIP=-g -O2"
                ${ZR_DPKG_BUILDFLAGS} --get ${flags}
            OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(ZR_DEB_${flags} UNIX_COMMAND "${value}")
    endforeach()
    message(STATUS "Hardening flags: ${ZR_DEB_CPPFLAGS} ${ZR_DEB_CXXFLAGS} ${ZR_DEB_LDFLAGS}")
    # _FORTIFY_SOURCE needs optimisation, and warns without it.
    target_compile_options(zr_options INTERFACE
        "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${ZR_DEB_CPPFLAGS};${ZR_DEB_CXXFLAGS}>")
    target_link_options(zr_options INTERFACE ${ZR_DEB_LDFLAGS})
elseif(NOT ZR_FUZZ)
    target_link_options(zr_options INTERFACE -Wl,-z,relro,-z,now)
endif()
