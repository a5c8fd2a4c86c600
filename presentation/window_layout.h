// The arithmetic of the main window's layout.
#pragma once

namespace hrv {

// Sizes FormResize gives the panels and charts, in pixels.
struct MainLayout {
    int panRgHeight = 0;       // P_Main height div 3
    int panHistoHeight = 0;    // P_Main height div 3
    int chartHistoWidth = 0;   // 2 * (client width div 4)
    int chartScaterWidth = 0;  // client width div 4
    int chartSpectrWidth = 0;  // 2 * (client width div 4)
    int chartDiagramWidth = 0; // client width div 4
    int infoLeft = 5;          // L_Info's left edge
};

MainLayout ComputeMainLayout(int mainPanelHeight, int clientWidth);

// Narrow screens (below 800 pixels) give the result panels a vertical scroll bar.
inline constexpr int kWideScreen = 800;
inline bool MemosNeedScrollBars(int screenWidth) {
    return screenWidth < kWideScreen;
}

} // namespace hrv
