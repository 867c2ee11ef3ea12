#include "config/preview_link.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <thread>

#include "effect/control_messages.h"

namespace {

// A count loop ends when the preview's count is reached. A preview that
// answers nonsense must not keep the link sending for ever: no real count
// exceeds the platform's maximum suspend count of 127.
constexpr int kMaxCountSends = 130;

// `untilCount` of a request whose message goes once.
constexpr int32_t kSendOnce = -1;

// One request to the preview: a control message sent once, or a suspend or
// resume repeated until the preview's freeze count is reached (see
// SyncPreview).
struct Request {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    int32_t untilCount = kSendOnce;
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
    uint64_t queued = 0;   // requests queued so far
    uint64_t done = 0;     // requests carried (or dropped) so far
    uint64_t overdue = 0;  // the last request the sheet stopped waiting for, 0: none
    bool busy = false;     // the sender is inside a send
    bool closing = false;
    bool ended = false;  // the preview stopped answering and was ended
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

// Whether a count loop is done, given a reply: the count before the message.
// The request's count is small and never negative, so nothing overflows
// whatever the preview answers.
bool CountReached(const Request& request, int32_t reply) {
    if (request.message == WM_SPIRAL_RESUME) return reply <= request.untilCount + 1;
    return reply < 0 || reply >= request.untilCount - 1;
}

bool Carry(PreviewLink* link, const Request& request) {
    HWND preview = GetWindow(link->screen, GW_CHILD);
    if (preview == nullptr) return true;  // nothing to tell
    int32_t reply = 0;
    if (request.untilCount == kSendOnce) {
        return Answered(preview, request.message, request.wParam, request.lParam, &reply);
    }
    for (int sends = 0; sends < kMaxCountSends; ++sends) {
        if (!Answered(preview, request.message, 0, 0, &reply)) return false;
        if (CountReached(request, reply)) break;
    }
    return true;
}

void Send(PreviewLink* link) {
    std::unique_lock<std::mutex> lock(link->mutex);
    for (;;) {
        link->work.wait(lock, [link] { return link->closing || !link->queue.empty(); });
        if (link->queue.empty()) return;  // closing
        const Request request = link->queue.front();
        link->queue.pop_front();
        link->busy = true;
        lock.unlock();
        const bool answered = Carry(link, request);
        if (!answered) EndPreviewProcess(link);
        lock.lock();
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
// While a request that outlasted such a wait is still unanswered, it does not
// wait at all.
void Queue(PreviewLink* link, const Request& request) {
    if (link == nullptr) return;
    uint64_t number = 0;
    bool wait = false;
    {
        std::lock_guard<std::mutex> lock(link->mutex);
        if (link->ended || link->closing) return;
        link->queue.push_back(request);
        number = ++link->queued;
        wait = link->done >= link->overdue;
    }
    link->work.notify_one();
    const DWORD start = GetTickCount();
    while (wait) {
        const DWORD waited = GetTickCount() - start;
        {
            std::lock_guard<std::mutex> lock(link->mutex);
            if (link->done >= number) return;
            if (waited >= kPreviewPromptMs) {
                link->overdue = number;  // it goes on without the sheet
                return;
            }
        }
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
    Request request;
    request.message = message;
    request.wParam = wParam;
    request.lParam = lParam;
    Queue(link, request);
}

void SyncPreview(PreviewLink* link, int32_t count, bool shown) {
    Request request;
    request.message = shown ? WM_SPIRAL_RESUME : WM_SPIRAL_SUSPEND;
    request.untilCount = count < 0 ? 0 : count;
    Queue(link, request);
}

void ClosePreviewLink(PreviewLink* link) {
    if (link == nullptr) return;
    bool idle = false;
    bool ended = false;
    {
        std::lock_guard<std::mutex> lock(link->mutex);
        idle = !link->busy && link->done >= link->overdue;
        ended = link->ended;
        link->closing = true;
        link->done += link->queue.size();
        link->queue.clear();
    }
    link->work.notify_one();
    // A preview still inside a send, or one that left a request unanswered,
    // has not answered for a while; one that does not answer a plain message
    // at once is no better.
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
