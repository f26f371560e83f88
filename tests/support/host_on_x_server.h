// A fixture for tests of the host as a person meets it on X11: a private
// Xvfb, a second X connection of the test's own to look at the screen and
// type with XTest, and the host (started by the test) on that server.
#pragma once

#include "private_x_server.h"
#include "running_host.h"
#include "test_support.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace testsupport {

class HostOnXServer : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = server_.start();
        SKIP_OR_FAIL_WITHOUT(missing.empty(), missing);
        x_ = XOpenDisplay(server_.name().c_str());
        ASSERT_NE(x_, nullptr);
        XSetErrorHandler(ignoreXErrors);
        int event = 0, error = 0, major = 0, minor = 0;
        SKIP_OR_FAIL_WITHOUT(XTestQueryExtension(x_, &event, &error, &major, &minor), "the XTest extension on Xvfb");
    }
    void TearDown() override {
        host_.reset();
        if (x_) XCloseDisplay(x_);
    }

    // The host's setup for this server's display.
    HostSetup onThisServer() const {
        HostSetup setup;
        setup.display = "x11:" + server_.name();
        return setup;
    }

    PrivateXServer server_;
    Display* x_ = nullptr;
    std::unique_ptr<RunningHost> host_;

private:
    // A pop-up, box or status text may go between listing a window and
    // asking about it.
    static int ignoreXErrors(Display*, XErrorEvent*) { return 0; }
};

}  // namespace testsupport
