# CPack's External generator runs this with the staged files in
# CPACK_TEMPORARY_DIRECTORY: makensis turns them into the installer.
execute_process(
    COMMAND ${CPACK_TGL_MAKENSIS} -V2 -DVERSION=${CPACK_PACKAGE_VERSION}
            -DVERSION_QUAD=${CPACK_TGL_VERSION_QUAD} -DSTAGE=${CPACK_TEMPORARY_DIRECTORY}
            -DOUTFILE=${CPACK_TGL_SETUP} -DICON=${CPACK_TGL_ICON} ${CPACK_TGL_NSIS_SCRIPT}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "makensis failed: ${result}")
endif()
