// The sheet's line to the preview process in one page's monitor.
//
// Control messages go to the preview in the order the sheet gives them, but
// from a thread of the link's own: the sheet's thread waits at most
// kPreviewPromptMs for each (handling messages sent to it meanwhile), and
// goes on. A preview that takes longer gets the message all the same; one
// that has not answered a message for kPreviewReplyLimitMs is ended, since a
// window whose child belongs to a process that no longer answers cannot even
// be destroyed. So a briefly busy machine costs the user no preview, and a
// frozen preview never holds the sheet.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr DWORD kPreviewPromptMs = 500;
constexpr UINT kPreviewReplyLimitMs = 3000;

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

// Queues the page's hold on its preview: shown, resumed until its freeze
// count is at most `hold`; hidden, suspended until it was at least `hold`.
// Sheet thread only.
void SyncPreview(PreviewLink* link, int32_t hold, bool shown);

// Ends the link before the screen window goes: a preview that does not
// answer at once is ended, so that its window can go with the screen.
void ClosePreviewLink(PreviewLink* link);
