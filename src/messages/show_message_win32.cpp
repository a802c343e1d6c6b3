#include "messages/show_message_win32.h"

#include "app/process_values_win32.h"
#include "messages/message_text.h"
#include "platform/windows_api.h"
#include "res/resource_ids.h"

namespace messages {
namespace {

constexpr int kCaptionSize = 100;
constexpr int kRunMessageSize = 200;     // messages shown by the run and by delivery
constexpr int kFolderMessageSize = 256;  // messages 13 and 15 of the destination dialog

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace

int ShowMessage(int messageId, Caption caption, unsigned style, const char* fill) {
  char text[kFolderMessageSize];
  const int textSize = messageId == IDS_INVALID_FOLDER || messageId == IDS_REPLACE_PROMPT ? kFolderMessageSize
                                                                                          : kRunMessageSize;
  LoadStringA(app::g_instance, messageId, text, textSize);

  char appCaption[kCaptionSize];
  const char* captionText = app::g_packageHeader.title;
  if (caption == Caption::App) {
    LoadStringA(app::g_instance, IDS_APP_CAPTION, appCaption, kCaptionSize);
    captionText = appCaption;
  }

  char filled[kFilledTextSize];
  const char* shown = text;
  if (fill != nullptr) {
    FormatMessageText(text, fill, IsLeadByte, filled);
    shown = filled;
  }
  return MessageBoxA(nullptr, shown, captionText, style);
}

}  // namespace messages
