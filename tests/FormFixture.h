#pragma once

// A main window and an About box on the offscreen platform, with a clock the test turns by hand.

#include "Unit1/MainForm.h"
#include "Unit2/AboutBox.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

class FakeClock : public platform::Clock {
public:
    std::uint32_t tick = 1000;
    std::uint32_t highRes = 12345;
    std::uint32_t tickMs() override { return tick; }
    std::uint32_t highResolution() override { return highRes++; }
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TMofuForm1>(clock);
        about = std::make_unique<TAboutBox>();
        form->setAboutBox(*about);
        form->show();
        platform::test::processEvents();
        staleLabelsBefore = platform::test::labelsDrawnAtOldSize();
    }
    void TearDown() override {
        platform::test::drawNow(w());
        EXPECT_EQ(platform::test::labelsDrawnAtOldSize(), staleLabelsBefore)
            << "a label was drawn at the size of its old text";
        about.reset();
        form.reset();
        platform::test::processEvents();
    }

    platform::Window& w() { return form->window(); }
    platform::Control c(MainControl id) { return form->c(id); }
    void type(std::string_view text) { platform::test::type(w(), text); }
    void f1() { platform::test::pressF1(w()); }
    void click(MainControl id) { platform::test::clickControl(w(), static_cast<int>(id)); }
    void selectMode(int mode) { c(MainControl::ModeSelect).setItemIndex(mode); }
    char target() { return form->session().state().Target; }
    std::string targetText() { return std::string(1, target()); }
    // A character of the home row that is not the current target.
    std::string wrongKey() { return target() == 'x' ? "y" : "x"; }
    platform::Size screen() { return platform::screenSize(); }
    int x(MainControl id) { return platform::test::windowX(w(), static_cast<int>(id)); }
    int y(MainControl id) { return platform::test::windowY(w(), static_cast<int>(id)); }

    // Writes a picture of the main window, or of the window given, into the screenshot folder when
    // one is configured.
    void shoot(const std::string& name, platform::Window* window = nullptr) {
        const char* dir = std::getenv("TAPIRUN_SHOTS");
        if (!dir) return;
        std::system((std::string("mkdir -p ") + dir).c_str());
        platform::test::savePng(platform::test::grab(window ? *window : w()),
                                std::string(dir) + "/" + name + ".png");
    }

    FakeClock clock;
    int staleLabelsBefore = 0;
    std::unique_ptr<TMofuForm1> form;
    std::unique_ptr<TAboutBox> about;
};
