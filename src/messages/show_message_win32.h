#pragma once

#include "messages/message_styles.h"

namespace messages {

// Shows catalogue message `messageId` in a box without owner window. `fill`
// takes the place of the "%s" of messages 5 and 15. Returns the button pressed.
int ShowMessage(int messageId, Caption caption, unsigned style, const char* fill = nullptr);

}  // namespace messages
