# The window program's own code: chart contents, panel texts and layout arithmetic in the
# Qt-free presentation core, and the widgets (main window, chart component, dialogs) in hrv_ui.
target_sources(hrv_presentation PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/chart_data.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_texts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window_layout.cpp)

if(HRV_BUILD_GUI)
    add_library(hrv_ui STATIC
        qt_text.h qt_text.cpp form_main.h form_main.cpp form_main_record.cpp form_main_output.cpp
        chart_layer.h chart_layer.cpp
        prompts.h prompts.cpp fake_prompts.h guarded_command.h
        confirm_dialog.h confirm_dialog.cpp
        progress_form.h progress_form.cpp)
    target_link_libraries(hrv_ui PUBLIC hrv_presentation hrv_files_ui hrv_files hrv_analysis
                          hrv_options Qt6::Widgets Qt6::Charts Qt6::PrintSupport)
    target_compile_definitions(hrv_ui PUBLIC QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII
                               QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
    # The recording's dialog and link, when that part is built.
    foreach(recording_target hrv_acquisition_ui hrv_acquisition)
        if(TARGET ${recording_target})
            target_link_libraries(hrv_ui PUBLIC ${recording_target})
        endif()
    endforeach()
endif()
