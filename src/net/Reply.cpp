#include "net/Reply.h"

#include <array>
#include <cstdio>
#include <utility>

namespace ks {

std::string serverString(int id) {
    static const std::pair<int, const char*> table[] = {
        {102, "Request type not implemented."},
        {103, "Request's MsgID is invalid."},
        {104, "Error allocating memory."},
        {105, "Error allocating CRequest object."},
        {106, "Error while reading socket."},
        {107, "Can't find a ':' in one of the headers."},
        {108, "Missing content length header."},
        {109, "Bad document format or system error."},
        {110, "Keystrider"},
        {111, "%a, %d %b %Y %H:%M:%S GMT"},
        {112, "Server error getting xml portion of the of DOM Document."},
        {113, "Error while writing to socket."},
        {114, "Server error creating XML document object."},
        {115, "Server error creating DOM processing instruction."},
        {116, "Server error appending child to DOM document."},
        {117, "Server error creating DOM element."},
        {118, "Server error setting DOM element attribute."},
        {119, "Server error setting DOM element text."},
        {120, "Error loading posted XML document: "},
        {121, "Server error walking through elements in XML document."},
        {122, "Error closing CNMXMLDoc object"},
        {123, "Error loading header information out of XML document"},
        {128, "Failed while trying to create tcp/ip socket!"},
        {131, "Bad HEX value: "},
        {132, "Error copy clip board"},
        {133, "Error accepting incoming connection"},
        {134, "Error creating socket"},
    };
    for (const auto& [key, text] : table) {
        if (key == id) return text;
    }
    return {};
}

std::string httpDate(std::time_t time) {
    // The names are spelt out here because strftime follows the locale.
    static constexpr std::array<const char*, 7> days = {"Sun", "Mon", "Tue", "Wed",
                                                        "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> months = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days.at(utc.tm_wday),
                  utc.tm_mday, months.at(utc.tm_mon), utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return text;
}

XmlDocument replyDocument(std::int32_t code, std::string_view clipboardText) {
    XmlElement root{"MsgID", {}, {}, {}};
    root.setAttribute("ID", std::to_string(code));
    if (code == kReplyClipboard) {
        root.append("ClipBoard", std::string(clipboardText));
    } else {
        root.append("Desc", serverString(code));
    }
    return XmlDocument(std::move(root));
}

std::string httpReply(std::string_view body, std::time_t now) {
    std::string reply = "HTTP/1.0 200 OK\r\n";
    reply += "Server: " + serverString(110) + "\r\n";
    reply += "Date: " + httpDate(now) + "\r\n";
    reply += "Content-Type: text/xml\r\n";
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    reply += body;
    return reply;
}

}  // namespace ks
