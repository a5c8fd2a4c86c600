// rvx: the heart-rate-variability workstation. The main window, maximised, over the current
// directory (its settings file, summary table and Data folder). With --user-folder (the desktop
// menu's entry) that directory is first ~/RVX, made on the first start.
#include "analysis/fragment_data.h"
#include "presentation/user_folder.h"
#include "ui/form_main.h"
#include "ui/prompts.h"
#include "ui/qt_text.h"
#include "ui/qt_translations.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include <QApplication>
#include <QDir>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

#ifdef __GLIBC__
constexpr int kHeldHeap = 16 << 20;       // bytes of heap written once at start-up
constexpr int kMmapThreshold = 64 << 20;  // larger blocks only get pages of their own
constexpr int kTrimThreshold = 128 << 20; // free heap kept by the process up to this size
#endif

// An Open fills charts of 30,000 points: several megabytes of blocks made and freed. Left to the
// C library, the first blocks of that size get fresh pages of their own, and each page's first
// write is a page fault: on a virtual machine they take longer than the charts' own work. The
// window therefore takes such blocks from its heap and keeps the heap it freed.
void KeepHeap() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
#endif
}

// Once the window is up (a child process started meanwhile leaves every page shared
// copy-on-write), the fragment's pages and a heap the size of an Open's blocks are written once.
void WarmMemory() {
    hrv::TouchPages(hrv::Fragment());
#ifdef __GLIBC__
    // One byte per page, through a volatile pointer: a plain zero fill of a new block may become
    // a calloc, which leaves fresh pages unwritten.
    auto* block = static_cast<volatile char*>(std::malloc(kHeldHeap));
    if (block != nullptr) {
        for (int i = 0; i < kHeldHeap; i += 4096) {
            block[i] = 0;
        }
        std::free(const_cast<char*>(block));
    }
#endif
}

} // namespace

int main(int argc, char** argv) {
    bool userFolder = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "rvx " << RVX_VERSION << "\n";
            return 0;
        }
        userFolder = userFolder || std::strcmp(argv[i], "--user-folder") == 0;
    }
    KeepHeap();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RVX"));
    QApplication::setDesktopFileName(QStringLiteral("rvx")); // the menu entry's icon and name
    hrv::InstallQtTranslations(); // without them the framework's dialogs stay in English
    hrv::QtPrompts prompts;
    if (userFolder) {
        const std::string error =
            hrv::EnterUserFolder(hrv::UserFolderIn(QDir::homePath().toStdString()));
        if (!error.empty()) {
            prompts.ShowMessage(nullptr, hrv::MessageKind::Warning, hrv::Q(error));
        }
    }
    hrv::TFormMain window(hrv::Fragment(), prompts);
    window.showMaximized();
    QTimer::singleShot(0, &window, WarmMemory);
    return QApplication::exec();
}
