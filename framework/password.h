// The platform's screen-saver password: the check on leaving the saver and
// the change mode.
#pragma once

// Hands the user to the platform's password-change dialog. Returns 0 after
// the dialog, -1 when its entry cannot be reached.
int RunChangePassword();
