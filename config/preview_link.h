// The sheet's line to the preview process in one page's monitor.
//
// Requests go to the preview in the order the sheet gives them, but from a
// thread of the link's own: the sheet's thread waits at most
// kPreviewPromptMs for each (handling messages sent to it meanwhile), and
// goes on. Once a request has outlasted that wait, later ones are queued
// without any wait until the preview has answered it, so one action of the
// user (the twelve changes of "Default", say) waits about half a second at
// most on a preview that has stopped. A preview that takes longer gets its
// requests all the same; one that has not answered a message for
// kPreviewReplyLimitMs is ended, since a window whose child belongs to a
// process that no longer answers cannot even be destroyed. So a briefly busy
// machine costs the user no preview, and a frozen preview never keeps the
// sheet waiting for long.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr DWORD kPreviewPromptMs = 500;
constexpr UINT kPreviewReplyLimitMs = 3000;

// How long an ended preview may take to go. The sheet's thread waits for it
// when it closes a link whose preview did not answer at once: the screen
// window cannot be destroyed while its child's process neither answers nor
// has gone. Ending a process takes milliseconds; the limit is for a system
// that fails to end it.
constexpr DWORD kPreviewEndLimitMs = 5000;

struct PreviewLink;

// A link to whatever window is the screen window's child: the preview's,
// once its process has started. Null when no link can be made.
PreviewLink* OpenPreviewLink(HWND screen);

// The preview process, once it has started; the link owns the handle from
// then on and ends the process when the preview stops answering. Sheet
// thread only, before anything is queued.
void AttachPreviewProcess(PreviewLink* link, HANDLE process);

// Queues a control message. Sheet thread only.
void SendToPreview(PreviewLink* link, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Queues the freeze count a page wants of its preview. Shown, the preview is
// sent resumes until a reply (the count before the resume) is at most
// `count` + 1, so that it is left with at most `count`; hidden, suspends
// until a reply is at least `count` - 1 (or negative), so that it is left
// with at least `count`. Either way at least one message goes, so a preview
// whose count is already there moves one step (a resume at 0 leaves it at
// 0), and at most 130, however the preview answers. Sheet thread only.
void SyncPreview(PreviewLink* link, int32_t count, bool shown);

// Ends the link before the screen window goes: a preview that does not
// answer at once (or has left a request unanswered) is ended and waited for,
// at most kPreviewEndLimitMs, so that its window can go with the screen.
void ClosePreviewLink(PreviewLink* link);
