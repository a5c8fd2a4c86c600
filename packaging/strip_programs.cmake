# Run by CPack on the package's files before it packs them: strips the programs and the Python
# module as Debian's own packages are stripped (dh_strip): the programs of their symbols, the
# module of those it does not export, both of the sections .comment and .note (the compilers'
# names and versions), which nothing reads at run time. With the Python package the files lie in
# one folder per component.
file(GLOB_RECURSE installed "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS installed)
    if(file MATCHES "/bin/[^/]+$")
        set(how)
    elseif(file MATCHES "\\.so$")
        set(how --strip-unneeded)
    else()
        continue()
    endif()
    execute_process(COMMAND "${CPACK_HRV_STRIP}" ${how} --remove-section=.comment
                            --remove-section=.note "${file}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${CPACK_HRV_STRIP} could not strip ${file}")
    endif()
endforeach()
