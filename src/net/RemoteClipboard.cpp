#include "net/RemoteClipboard.h"

#include <QHostInfo>

#include "core/Messages.h"
#include "core/Utf8.h"
#include "expand/VariableTable.h"
#include "net/PeerExchange.h"
#include "net/Reply.h"
#include "runner/RunControl.h"
#include "xml/XmlDocument.h"

namespace ks {

namespace {

constexpr const char* kLocalErrorTitle = "Keystrider - Error";
constexpr const char* kExchangeErrorTitle = "Keystrider Error";
constexpr const char* kThisMachine =
    "You can not remotely copy the contents of the clipboard on the machine that this instance "
    "of Keystrider is running on.";

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

LocalHost systemLocalHost() {
    return LocalHost{[]() -> std::optional<std::string> {
                         const QString name = QHostInfo::localHostName();
                         if (name.isEmpty()) return std::nullopt;
                         return name.toStdString();
                     },
                     [](const std::string& name) {
                         std::vector<std::string> addresses;
                         for (const QHostAddress& address :
                              QHostInfo::fromName(QString::fromStdString(name)).addresses()) {
                             addresses.push_back(address.toString().toStdString());
                         }
                         return addresses;
                     }};
}

std::span<const CommandId> RemoteClipboardCommand::ids() const {
    static constexpr CommandId kIds[] = {kCopyRemoteClipBoard};
    return kIds;
}

CommandResult RemoteClipboardCommand::run(std::uint32_t, CommandContext& command) {
    const std::optional<std::string> address = command.text("IPAddress");
    if (!address) return CommandResult::Next;
    const std::optional<std::string> port = command.text("Port");
    if (!port) return CommandResult::Next;
    const std::optional<std::string> bufferName = command.text("BufName");
    if (!bufferName) return CommandResult::Next;
    const std::string host = trimmed(*address);
    if (host.empty()) {
        showError("IP Address/Host Name: can not be empty.", kLocalErrorTitle);
        return CommandResult::Next;
    }
    if (refusedAsThisMachine(host)) return CommandResult::Next;
    const std::string request =
        "<?xml version=\"1.0\"?><MsgID ID=\"" + std::to_string(kRequestClipboard) + "\"></MsgID>";
    const PeerWait wait = [this](std::chrono::milliseconds duration) {
        return services_.run.waitWhileRunning(duration);
    };
    if (const std::optional<std::string> body =
            postToPeer(services_.peers, wait, services_.messages, host, *port, request, kSends)) {
        takeReply(*body, *bufferName);
    }
    return CommandResult::Next;
}

bool RemoteClipboardCommand::refusedAsThisMachine(const std::string& host) {
    const std::optional<std::string> name = services_.localHost.name();
    if (!name) {
        showError("Can't resolve this machine's Host/Computer Name.  Check network connection.",
                  kLocalErrorTitle);
        return true;
    }
    if (utf8::sameName(host, *name)) {
        showError(kThisMachine, kLocalErrorTitle);
        return true;
    }
    const std::vector<std::string> addresses = services_.localHost.addresses(*name);
    if (addresses.empty()) {
        showError("Can't resolve this machine's IP Address(es).  Check network connection.",
                  kLocalErrorTitle);
        return true;
    }
    for (const std::string& address : addresses) {
        if (utf8::sameName(host, address)) {
            showError(kThisMachine, kLocalErrorTitle);
            return true;
        }
    }
    return false;
}

void RemoteClipboardCommand::takeReply(const std::string& body, const std::string& bufferName) {
    XmlError error;
    const std::optional<XmlDocument> document = XmlDocument::parse(body, error);
    if (!document) return showError("Error loading DOM Document object.", kExchangeErrorTitle);
    const std::optional<std::int32_t> code = rootId(*document, services_.messages);
    if (!code) return;
    if (*code == kReplyClipboard) {
        if (const auto text = firstText(*document, "ClipBoard", services_.messages)) {
            services_.variables.SetVariable(bufferName, *text);
        }
    } else if (const auto text = firstText(*document, "Desc", services_.messages)) {
        showError(*text, kExchangeErrorTitle);
    }
}

void RemoteClipboardCommand::showError(const std::string& text, const char* title) {
    services_.messages.show(text, title, MsgIcon::Stop);
}

}  // namespace ks
