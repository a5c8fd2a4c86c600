# rvx-cli record: the recording from the pulse sensor device, through the platform's serial link
# (termios: no Qt).
target_sources(hrv_cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/record.cpp)
target_link_libraries(hrv_cli PUBLIC hrv_serial_port hrv_acquisition)
