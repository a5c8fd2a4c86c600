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

// `leastPanelWidth` (0: none) is the width the result panels beside the charts need: where the
// quarters would leave them less, the four charts share what is left after it in the same
// proportions (a small screen), never below 0.
MainLayout ComputeMainLayout(int mainPanelHeight, int clientWidth, int leastPanelWidth = 0);

// The window's design size, which is also its smallest size where the screen has room for it.
inline constexpr int kDesignWidth = 741;
inline constexpr int kDesignHeight = 491;

struct WindowSize {
    int width = 0;
    int height = 0;
};

// The smallest size of the main window (without its frame) on a screen that leaves it
// `roomWidth` x `roomHeight` pixels: the design size, cut to that room, never below 1 x 1.
WindowSize SmallestWindowSize(int roomWidth, int roomHeight);

// Narrow screens (below 800 pixels) give the result panels a vertical scroll bar.
inline constexpr int kWideScreen = 800;
inline bool MemosNeedScrollBars(int screenWidth) {
    return screenWidth < kWideScreen;
}

} // namespace hrv
