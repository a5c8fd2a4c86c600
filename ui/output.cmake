# Results out of the program: the summary table, the printed report and batch conversion.

# The parts without Qt: table lines, report layout and texts, the batch loop.
target_sources(hrv_presentation PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/summary_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/report_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/batch_convert.cpp)

# The report painter joins the window target once that exists.
if(HRV_BUILD_GUI AND TARGET hrv_ui)
    target_sources(hrv_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/report.cpp)
endif()
