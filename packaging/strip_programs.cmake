# Run by CPack on the package's files before it packs them: strips the programs as Debian's own
# packages are stripped (dh_strip), of their symbols and of the sections .comment and .note (the
# compilers' names and versions), which nothing reads at run time.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
foreach(program IN LISTS programs)
    execute_process(COMMAND "${CPACK_HRV_STRIP}" --remove-section=.comment --remove-section=.note
                            "${program}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${CPACK_HRV_STRIP} could not strip ${program}")
    endif()
endforeach()
