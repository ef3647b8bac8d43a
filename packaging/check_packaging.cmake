# Installs the component "desktop" into a scratch folder and checks what arrives:
#   cmake -DBUILD_DIR=<build> -DSTAGE=<scratch> -DDATADIR=/usr/share
#         -DEXECUTABLE=<installed program> -P check_packaging.cmake

cmake_minimum_required(VERSION 3.25)

set(failures "")
macro(fail message)
    string(APPEND failures "  ${message}\n")
endmacro()

file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE}
                        ${CMAKE_COMMAND} --install ${BUILD_DIR} --component desktop
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "installing the desktop component failed")
endif()

set(root "${STAGE}${DATADIR}")
set(policy "${root}/polkit-1/actions/org.quillon.pkexec.policy")
set(desktop_entry "${root}/applications/quillon.desktop")
set(expected "${policy}" "${desktop_entry}")
foreach(size 16 32 48 64 128 256)
    list(APPEND expected "${root}/icons/hicolor/${size}x${size}/apps/quillon.png")
endforeach()

# Exactly these files, and nothing in the installation folder of the program.
file(GLOB_RECURSE installed LIST_DIRECTORIES false "${STAGE}/*")
foreach(file IN LISTS installed)
    if(NOT file IN_LIST expected)
        fail("unexpected file ${file}")
    endif()
endforeach()
foreach(file IN LISTS expected)
    if(NOT EXISTS "${file}")
        fail("missing ${file}")
    endif()
endforeach()
if(failures)
    message(FATAL_ERROR "desktop component:\n${failures}")
endif()

# Each icon goes into the folder of its own size.
foreach(size 16 32 48 64 128 256)
    file(READ "${root}/icons/hicolor/${size}x${size}/apps/quillon.png" header HEX LIMIT 24)
    string(SUBSTRING "${header}" 32 16 dimensions)
    math(EXPR want "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" want "${want}")
    string(LENGTH "${want}" digits)
    math(EXPR pad "8 - ${digits}")
    string(REPEAT "0" ${pad} zeros)
    if(NOT dimensions STREQUAL "${zeros}${want}${zeros}${want}")
        fail("the ${size}x${size} icon has the header ${dimensions}")
    endif()
endforeach()

# pkexec runs only the path named in the action, with the display kept.
find_program(XMLLINT xmllint)
if(XMLLINT)
    execute_process(COMMAND ${XMLLINT} --noout --nonet "${policy}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        fail("the polkit action is not well-formed XML")
    endif()
endif()
file(READ "${policy}" text)
string(FIND "${text}"
       "<annotate key=\"org.freedesktop.policykit.exec.path\">${EXECUTABLE}</annotate>" at)
if(at EQUAL -1)
    fail("the polkit action does not name ${EXECUTABLE}")
endif()
if(NOT text MATCHES "<annotate key=\"org.freedesktop.policykit.exec.allow_gui\">true</annotate>")
    fail("the polkit action does not keep the display")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
    execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} "${desktop_entry}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR out MATCHES "error")
        fail("desktop-file-validate: ${out}")
    endif()
endif()
file(STRINGS "${desktop_entry}" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=\"${EXECUTABLE}\"")
    fail("the menu entry starts '${exec}', not ${EXECUTABLE}")
endif()

if(failures)
    message(FATAL_ERROR "desktop component:\n${failures}")
endif()
