// A main window over a scratch current directory, with scripted prompts.
#pragma once

#include "analysis/fragment_data.h"
#include "tests/support/fake_prompts.h"
#include "tests/support/test_support.h"
#include "ui/form_main.h"

#include <filesystem>
#include <memory>

#include <QApplication>
#include <QDate>
#include <QFileInfo>
#include <QString>

namespace hrv::test {

inline std::string SharedFile(const std::string& name) {
    return std::string(HRV_SHARED_DATA) + "/" + name;
}

#define HRV_NEED_SHARED(name)                                                                      \
    do {                                                                                           \
        if (!std::filesystem::exists(::hrv::test::SharedFile(name))) {                             \
            GTEST_SKIP() << "recording not found: " << ::hrv::test::SharedFile(name);              \
        }                                                                                          \
    } while (0)

// A file's modification date as the Russian short date format writes it.
inline QString RussianDateOf(const std::string& path) {
    return QFileInfo(QString::fromStdString(path))
        .lastModified()
        .date()
        .toString(QStringLiteral("dd.MM.yyyy"));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override {
        window_.reset();
        std::filesystem::current_path(previous_);
    }

    TFormMain& Start() {
        window_ = std::make_unique<TFormMain>(*fragment_, prompts_);
        return *window_;
    }

    // Answers the open dialog with `path` and file type `type`, then runs Open.
    void Open(const std::string& path, int type) {
        prompts_.openAnswers.push_back({QString::fromStdString(path), type});
        window_->TB_OpenClick();
    }

    void Save(const std::string& path) {
        prompts_.saveAnswers.push_back({QString::fromStdString(path), 1});
        window_->TB_SaveClick();
    }

    std::string Settings() const { return dir_ / "rvxcfg.cfg"; }

    ScratchDir dir_;
    std::filesystem::path previous_;
    FakePrompts prompts_;
    std::unique_ptr<FragmentData> fragment_ = std::make_unique<FragmentData>();
    std::unique_ptr<TFormMain> window_;
};

} // namespace hrv::test
