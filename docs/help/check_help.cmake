# Checks the compiled help file against its sources:
#   cmake -DCHM=help.chm -DCHMLS=chmls -DICONV=iconv -DSOURCE_DIR=docs/help
#         -DWORK_DIR=<scratch folder> -P check_help.cmake
# A page left out of the project, a broken link, a page missing from the contents, or
# a help file that viewers would not read as Chinese fails the check.

cmake_minimum_required(VERSION 3.25)

set(failures "")
macro(fail message)
    string(APPEND failures "  ${message}\n")
endmacro()

# Files listed in the [FILES] section of the project.
file(STRINGS "${SOURCE_DIR}/help.hhp" project_lines)
set(in_files FALSE)
set(project_files "")
foreach(line IN LISTS project_lines)
    if(line MATCHES "^\\[")
        set(in_files FALSE)
        if(line STREQUAL "[FILES]")
            set(in_files TRUE)
        endif()
    elseif(in_files AND NOT line STREQUAL "")
        list(APPEND project_files "${line}")
    endif()
endforeach()
set(project_pages ${project_files})
list(FILTER project_pages INCLUDE REGEX "\\.html$")

# Everything the viewer needs is inside the help file, byte for byte the GBK form of
# its source.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/extracted")
execute_process(COMMAND "${CHMLS}" extractall "${CHM}" "${WORK_DIR}/extracted"
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "chmls cannot read ${CHM}")
endif()
foreach(file IN LISTS project_files ITEMS contents.hhc index.hhk)
    if(NOT EXISTS "${WORK_DIR}/extracted/${file}")
        fail("${file} is missing from the help file")
        continue()
    endif()
    execute_process(COMMAND "${ICONV}" -f UTF-8 -t GBK -o "${WORK_DIR}/${file}"
                            "${SOURCE_DIR}/${file}" RESULT_VARIABLE rc)
    file(SHA256 "${WORK_DIR}/${file}" expected)
    file(SHA256 "${WORK_DIR}/extracted/${file}" actual)
    if(NOT rc EQUAL 0 OR NOT expected STREQUAL actual)
        fail("${file} in the help file differs from the GBK form of its source")
    endif()
endforeach()

# Links between pages, and from the contents and the index, lead to pages in the file.
foreach(file IN LISTS project_pages ITEMS contents.hhc index.hhk)
    file(READ "${SOURCE_DIR}/${file}" text)
    string(REGEX MATCHALL "(href|value)=\"[^\"#:]+\\.(html|css)" links "${text}")
    foreach(link IN LISTS links)
        string(REGEX REPLACE "^[a-z]+=\"" "" target "${link}")
        if(NOT target IN_LIST project_files)
            fail("${file} links to ${target}, which is not in the help file")
        endif()
    endforeach()
endforeach()

file(READ "${SOURCE_DIR}/contents.hhc" contents)
foreach(page IN LISTS project_pages)
    if(NOT contents MATCHES "value=\"${page}\"")
        fail("${page} has no entry in the contents")
    endif()
    file(READ "${SOURCE_DIR}/${page}" text)
    if(NOT text MATCHES "charset=gb2312")
        fail("${page} does not declare the gb2312 charset")
    endif()
endforeach()

# The contents and the index are decoded with the language's code page: it must be
# Chinese (PRC), LCID 0x0804, entry 4 of the #SYSTEM file.
file(READ "${WORK_DIR}/extracted/#SYSTEM" system HEX)
string(LENGTH "${system}" system_length)
set(lcid "")
set(offset 8)
while(offset LESS system_length)
    string(SUBSTRING "${system}" ${offset} 4 code)
    math(EXPR length_at "${offset} + 4")
    string(SUBSTRING "${system}" ${length_at} 4 size)
    string(REGEX REPLACE "^(..)(..)$" "\\2\\1" code "${code}")
    string(REGEX REPLACE "^(..)(..)$" "0x\\2\\1" size "${size}")
    math(EXPR data_at "${offset} + 8")
    if(code STREQUAL "0004")
        string(SUBSTRING "${system}" ${data_at} 8 lcid)
        break()
    endif()
    math(EXPR offset "${data_at} + 2 * ${size}")
endwhile()
if(NOT lcid STREQUAL "04080000")
    fail("the help file's language is not Chinese (PRC): #SYSTEM LCID bytes '${lcid}'")
endif()

if(failures)
    message(FATAL_ERROR "help.chm check failed:\n${failures}")
endif()
