// The arithmetic of the main window's layout.
#include "presentation/window_layout.h"

#include <algorithm>

namespace hrv {

MainLayout ComputeMainLayout(int mainPanelHeight, int clientWidth, int leastPanelWidth) {
    MainLayout l;
    const int h = mainPanelHeight;
    int q = clientWidth / 4; // truncating
    if (clientWidth - 3 * q < leastPanelWidth) {
        q = std::max(0, (clientWidth - leastPanelWidth) / 3);
    }
    l.panRgHeight = h / 3;
    l.panHistoHeight = h / 3;
    l.chartHistoWidth = 2 * q;
    l.chartScaterWidth = q;
    l.chartSpectrWidth = 2 * q;
    l.chartDiagramWidth = q;
    l.infoLeft = 5;
    return l;
}

WindowSize SmallestWindowSize(int roomWidth, int roomHeight) {
    WindowSize size;
    size.width = std::clamp(roomWidth, 1, kDesignWidth);
    size.height = std::clamp(roomHeight, 1, kDesignHeight);
    return size;
}

} // namespace hrv
