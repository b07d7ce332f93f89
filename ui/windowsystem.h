#pragma once

// Sends what is queued for the window system now. Qt passes the legacy WM_NAME title
// through Xlib's own buffer, which otherwise goes out only when the event loop runs next.
void flushToWindowSystem();
