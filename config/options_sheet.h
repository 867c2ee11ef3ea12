// The configuration dialog: the property sheet "Options for Gyrel" with its
// Options and About pages.
//
// Every value accepted on the Options page goes at once into this process's
// settings and to the page's preview process; the settings are saved only
// when the sheet applies (OK or Apply), and a save that fails keeps it open. Page changes and the
// "Disable active configuration" box freeze and release the pages' previews.
#pragma once

#include <windows.h>

#include <cstdint>

// Set by the Options page as the first step of its initialisation; until then
// the edit fields' notifications are ignored.
extern bool g_optionsPageReady;

// The configure callback: shows the modal sheet "Options for <saverName>" and
// returns when it closes. `instance` has the pages' templates and the
// monitor bitmap; `owner`, when given (the display panel's window), owns the
// sheet, which is then modal to it.
int ShowOptionsSheet(const char* saverName, HINSTANCE instance, HWND owner);

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Takes one value of a settings row: the settings table, the sheet's Apply
// button, the page's preview and this process's settings.
void ApplySetting(HWND page, int row, int32_t value);

// Freezes (PSN_KILLACTIVE) or releases (PSN_SETACTIVE) the page's preview so
// that only the shown page's preview draws, and only while ActiveConfig is set.
void SyncPagePreview(HWND page, UINT code);
