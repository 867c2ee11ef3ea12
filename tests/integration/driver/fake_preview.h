// A stand-in for a page's preview: a window of the driver placed in the
// screen window of a page whose own preview process could not be started.
// The sheet finds it where it looks for its preview and drives it with the
// control messages; it records every message and answers suspend and resume
// with a suspend count, as a real preview's worker thread would.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace driver {

struct PreviewMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class FakePreview {
public:
    // Creates the window as the first child of `screen`, with the count
    // that a started preview has (2).
    explicit FakePreview(HWND screen, int32_t count = 2);
    ~FakePreview();
    FakePreview(const FakePreview&) = delete;
    FakePreview& operator=(const FakePreview&) = delete;

    HWND Window() const { return window_; }
    int32_t Count() const { return count_; }
    const std::vector<PreviewMessage>& Received() const { return received_; }
    void Forget() { received_.clear(); }
    // (row, value) of every set-parameter message, in order.
    std::vector<std::pair<int, int>> Parameters() const;
    // Answer every suspend with 0, as a preview whose thread never counts.
    void AnswerSuspendWithZero() { stuck_ = true; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    int32_t count_;
    bool stuck_ = false;
    std::vector<PreviewMessage> received_;
};

}  // namespace driver
