// Messages for the user from the card model ("Too many devices", the
// disabled-devices warning). They go to standard error until the configurator
// installs its message box as the handler.
#pragma once

namespace kvl {

using NoticeHandler = void (*)(const char *text);

// Shows text to the user through the current handler.
void user_notice(const char *text);

// Makes handler show the notices; nullptr restores standard error.
void set_notice_handler(NoticeHandler handler);

}  // namespace kvl
