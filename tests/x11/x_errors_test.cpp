// Which X errors end the hack, which are told, which are no news.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "x11/x_errors.h"

namespace {

constexpr Window kOwn = 0x400001;
constexpr Window kOther = 0x600007;

struct Case {
    const char* name;
    int errorCode;
    XID resource;
    Window target;
    bool targetGone;
    XErrorMeaning meaning;
};

TEST(XErrors, WhatAnErrorMeans) {
    const Case cases[] = {
        {"its window gone", BadWindow, kOwn, kOwn, false, XErrorMeaning::TargetGone},
        {"its window gone, as a drawable", BadDrawable, kOwn, kOwn, false, XErrorMeaning::TargetGone},
        {"another's window gone", BadWindow, kOther, kOwn, false, XErrorMeaning::NoNews},
        {"another's drawable gone", BadDrawable, kOther, kOwn, false, XErrorMeaning::NoNews},
        {"a window gone before the hack has one", BadWindow, kOther, 0, false, XErrorMeaning::NoNews},
        {"no window at all before the hack has one", BadWindow, 0, 0, false, XErrorMeaning::NoNews},
        {"a refusal about its window", BadMatch, kOwn, kOwn, false, XErrorMeaning::Report},
        {"no memory in the server", BadAlloc, 0, kOwn, false, XErrorMeaning::Report},
        {"a refusal after the window went", BadGC, 0x400002, kOwn, true, XErrorMeaning::NoNews},
        {"its window gone again", BadDrawable, kOwn, kOwn, true, XErrorMeaning::NoNews},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyXError(c.errorCode, c.resource, c.target, c.targetGone), c.meaning) << c.name;
    }
}

}  // namespace
