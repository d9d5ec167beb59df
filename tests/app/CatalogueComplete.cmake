# Checks that each catalogue translates exactly the texts of the program:
# lupdate reads src/ into a copy of the catalogue, and the copy must hold no
# text without a translation (a text new in the program) and none the program
# no longer has.
#   cmake -DLUPDATE=... -DSOURCE_DIR=... -DWORK_DIR=... -DCATALOGUES="a.ts;b.ts" -P CatalogueComplete.cmake
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(catalogue IN LISTS CATALOGUES)
    get_filename_component(name "${catalogue}" NAME)
    set(copy "${WORK_DIR}/${name}")
    file(COPY_FILE "${catalogue}" "${copy}")
    execute_process(COMMAND "${LUPDATE}" -locations none "${SOURCE_DIR}/src" -ts "${copy}"
        RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "lupdate failed on ${name}: ${errors}")
    endif()
    file(READ "${copy}" text)
    string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"[a-z]+\"[^<]*"
        unfinished "${text}")
    string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation></translation>"
        empty "${text}")
    if(unfinished OR empty)
        list(JOIN unfinished "\n" unfinished)
        list(JOIN empty "\n" empty)
        message(FATAL_ERROR "${name} is not complete; update it (cmake --build BUILD "
            "--target update_translations) and translate:\n${unfinished}\n${empty}")
    endif()
    message(STATUS "${name}: every text of the program is translated")
endforeach()
