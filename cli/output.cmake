# rvx-cli analyze --table and rvx-cli print.
target_sources(hrv_cli PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/regional.cpp
    ${CMAKE_CURRENT_LIST_DIR}/table_output.cpp
    ${CMAKE_CURRENT_LIST_DIR}/print.cpp)

# The page of "rvx-cli print" is drawn by the window's report code, which needs Qt. rvx-cli
# itself stays free of Qt (analyze and convert run where no Qt is installed) and runs this
# helper, built beside it, for the one command that draws.
if(HRV_BUILD_GUI AND TARGET hrv_ui)
    add_executable(rvx-print ${CMAKE_CURRENT_LIST_DIR}/print_main.cpp)
    target_link_libraries(rvx-print PRIVATE hrv_ui hrv_cli hrv_options)
    target_compile_definitions(rvx-print PRIVATE QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII)
endif()
