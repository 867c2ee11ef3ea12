// Awareness of the screen's scale, declared at run time as well as in the
// manifest.
#pragma once

// Makes the process aware of each monitor's scale where the platform allows
// it (system-wide where it knows only that), so that the saver covers and
// copies the screen in its own pixels and the sheet is laid out in them.
// Call it before any window exists. Every entry is looked up by name, so the
// module still starts where one is missing; where the manifest has already
// decided, the platform keeps that choice.
void DeclareDpiAwareness();
