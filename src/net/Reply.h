#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "core/MessageIds.h"
#include "xml/XmlDocument.h"

namespace ks {

// Reply codes carried in the root's ID of a reply document.
inline constexpr std::int32_t kReplyNotImplemented = 102;
inline constexpr std::int32_t kReplyInvalidId = 103;
inline constexpr std::int32_t kReplyNoMemory = 104;
inline constexpr std::int32_t kReplyBadDocument = 109;
inline constexpr std::int32_t kReplyCannotBuild = 114;
inline constexpr std::int32_t kReplyCannotLoad = 120;
inline constexpr std::int32_t kReplyCannotWalk = 121;
inline constexpr std::int32_t kReplyClipboard = 1001;
inline constexpr std::int32_t kReplyImported = 1004;
inline constexpr std::int32_t kReplyAccepted = 1005;

// Message ids a peer posts; ids from kFirstMacroMessageId on start macros.
inline constexpr std::int32_t kRequestClipboard = 1000;
inline constexpr std::int32_t kRequestSetClipboard = 1002;
inline constexpr std::int32_t kRequestImport = 1003;
inline constexpr std::int32_t kRequestMacros = 1006;
inline constexpr std::int32_t kRequestRecordings = 1007;

// The server's string table: the text of `id`, empty where it has none.
std::string serverString(int id);

// `time` as an HTTP date, "Sun, 06 Dec 2026 19:48:43 GMT", in English
// whatever the locale.
std::string httpDate(std::time_t time);

// The reply document for `code`: ClipBoard holding `clipboardText` for the
// clipboard reply, else Desc holding the code's text.
XmlDocument replyDocument(std::int32_t code, std::string_view clipboardText = {});

// The status line, the four headers and `body`, lines ended by CR LF.
std::string httpReply(std::string_view body, std::time_t now);

}  // namespace ks
