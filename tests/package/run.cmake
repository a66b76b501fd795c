# Makes the Debian package with CPack, then lets test_package.py check it with
# Debian's tools, install it, play it and remove it.
set(work "${BUILD}/package-test")
file(REMOVE_RECURSE "${work}")
execute_process(COMMAND "${CPACK}" --config "${BUILD}/CPackConfig.cmake" -B "${work}"
    RESULT_VARIABLE made)
if(NOT made EQUAL 0)
    message(FATAL_ERROR "cpack failed")
endif()
file(GLOB archive "${work}/*.deb")
execute_process(COMMAND "${PYTHON}" "${TESTS}/package/test_package.py" "${archive}"
    RESULT_VARIABLE passed)
if(NOT passed EQUAL 0)
    message(FATAL_ERROR "the package failed its checks or did not play")
endif()
