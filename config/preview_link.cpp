#include "config/preview_link.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <thread>

#include "effect/control_messages.h"

namespace {

// How long an ended preview may take to go.
constexpr DWORD kPreviewEndLimitMs = 5000;

// A suspend or resume loop ends when the preview's count reaches the hold. A
// preview that answers nonsense must not keep the link sending for ever: no
// real count exceeds the platform's maximum suspend count of 127.
constexpr int kMaxSyncSends = 130;

struct Request {
    bool sync;       // a hold to reach rather than one message
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int32_t hold;
    bool shown;
};

}  // namespace

struct PreviewLink {
    // Set when the link is made (the process before anything is queued),
    // then read only.
    HWND screen = nullptr;
    HANDLE process = nullptr;   // null while no preview process runs
    HANDLE progress = nullptr;  // auto-reset; set whenever a request is done
    std::thread sender;

    // Under `mutex`.
    std::mutex mutex;
    std::condition_variable work;  // for the sender: a request, or the close
    std::deque<Request> queue;
    uint64_t queued = 0;  // requests queued so far
    uint64_t done = 0;    // requests carried (or dropped) so far
    bool busy = false;    // the sender is inside a send
    bool closing = false;
    bool ended = false;   // the preview stopped answering and was ended
};

namespace {

void EndPreviewProcess(PreviewLink* link) {
    if (link->process == nullptr) return;
    TerminateProcess(link->process, 0);
    WaitForSingleObject(link->process, kPreviewEndLimitMs);
}

// On the sender's thread: one message with the time limit; false when the
// preview did not answer in time (or has gone).
bool Answered(HWND preview, UINT message, WPARAM wParam, LPARAM lParam, int32_t* reply) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(preview, message, wParam, lParam, SMTO_ABORTIFHUNG,
                            kPreviewReplyLimitMs, &result) == 0) {
        return false;
    }
    *reply = static_cast<int32_t>(static_cast<uint32_t>(result));
    return true;
}

bool Carry(PreviewLink* link, const Request& request) {
    HWND preview = GetWindow(link->screen, GW_CHILD);
    if (preview == nullptr) return true;  // nothing to tell
    int32_t reply = 0;
    if (!request.sync) return Answered(preview, request.message, request.wParam, request.lParam, &reply);
    for (int sends = 0; sends < kMaxSyncSends; ++sends) {
        if (request.shown) {
            if (!Answered(preview, WM_SPIRAL_RESUME, 0, 0, &reply)) return false;
            if (reply <= request.hold) break;
        } else {
            if (!Answered(preview, WM_SPIRAL_SUSPEND, 0, 0, &reply)) return false;
            if (reply < 0 || reply >= request.hold) break;
        }
    }
    return true;
}

void Send(PreviewLink* link) {
    std::unique_lock<std::mutex> hold(link->mutex);
    for (;;) {
        link->work.wait(hold, [link] { return link->closing || !link->queue.empty(); });
        if (link->queue.empty()) return;  // closing
        const Request request = link->queue.front();
        link->queue.pop_front();
        link->busy = true;
        hold.unlock();
        const bool answered = Carry(link, request);
        if (!answered) EndPreviewProcess(link);
        hold.lock();
        link->busy = false;
        ++link->done;
        if (!answered) {
            // Nothing more reaches an ended preview.
            link->ended = true;
            link->done += link->queue.size();
            link->queue.clear();
        }
        SetEvent(link->progress);
    }
}

// Queues a request and waits a moment for it, answering the messages sent
// to this thread meanwhile (the preview's window sends some to its parent).
void Queue(PreviewLink* link, const Request& request) {
    if (link == nullptr) return;
    uint64_t number = 0;
    {
        std::lock_guard<std::mutex> hold(link->mutex);
        if (link->ended || link->closing) return;
        link->queue.push_back(request);
        number = ++link->queued;
    }
    link->work.notify_one();
    const DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(link->mutex);
            if (link->done >= number) return;
        }
        const DWORD waited = GetTickCount() - start;
        if (waited >= kPreviewPromptMs) return;  // it goes on without the sheet
        MsgWaitForMultipleObjects(1, &link->progress, FALSE, kPreviewPromptMs - waited,
                                  QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

PreviewLink* OpenPreviewLink(HWND screen) {
    auto* link = new (std::nothrow) PreviewLink;
    if (link == nullptr) return nullptr;
    link->screen = screen;
    link->progress = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (link->progress != nullptr) {
        try {
            link->sender = std::thread(Send, link);
            return link;
        } catch (const std::exception&) {
            // No thread: no link, and the sheet starts no preview it could
            // not reach.
        }
        CloseHandle(link->progress);
    }
    delete link;
    return nullptr;
}

void AttachPreviewProcess(PreviewLink* link, HANDLE process) { link->process = process; }

void SendToPreview(PreviewLink* link, UINT message, WPARAM wParam, LPARAM lParam) {
    Queue(link, Request{false, message, wParam, lParam, 0, false});
}

void SyncPreview(PreviewLink* link, int32_t hold, bool shown) {
    Queue(link, Request{true, 0, 0, 0, hold, shown});
}

void ClosePreviewLink(PreviewLink* link) {
    if (link == nullptr) return;
    bool idle = false;
    bool ended = false;
    {
        std::lock_guard<std::mutex> hold(link->mutex);
        link->closing = true;
        link->done += link->queue.size();
        link->queue.clear();
        idle = !link->busy;
        ended = link->ended;
    }
    link->work.notify_one();
    // A preview still inside a send has not answered for a while; one that
    // does not answer a plain message at once is no better.
    HWND preview = GetWindow(link->screen, GW_CHILD);
    DWORD_PTR reply = 0;
    const bool answers = !ended && idle && preview != nullptr &&
                         SendMessageTimeoutA(preview, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                             kPreviewPromptMs, &reply) != 0;
    if (!answers && !ended) EndPreviewProcess(link);
    link->sender.join();
    CloseHandle(link->progress);
    if (link->process != nullptr) CloseHandle(link->process);
    delete link;
}
