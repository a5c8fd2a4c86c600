# The window program's own code: chart contents and panel texts in the Qt-free presentation core,
# and the widgets (main window, chart component, dialogs) in hrv_ui.
if(HRV_BUILD_GUI)
    add_library(hrv_ui STATIC
        form_main.h chart_layer.h prompts.h fake_prompts.h guarded_command.h progress_form.h
        form_main_record.cpp form_main_output.cpp)
    target_link_libraries(hrv_ui PUBLIC hrv_presentation hrv_files hrv_analysis hrv_options
                          Qt6::Widgets Qt6::Charts Qt6::PrintSupport)
    target_compile_definitions(hrv_ui PUBLIC QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII
                               QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
    # The recording's dialog and link, when that part is built.
    foreach(recording_target hrv_acquisition_ui hrv_acquisition)
        if(TARGET ${recording_target})
            target_link_libraries(hrv_ui PUBLIC ${recording_target})
        endif()
    endforeach()
endif()
