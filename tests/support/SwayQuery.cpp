#include "SwayQuery.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>

namespace ks::test {
namespace {

bool focusedIn(const QJsonObject& node, const QString& appId) {
    if (node["focused"].toBool() && node["app_id"].toString() == appId) return true;
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node[children].toArray())
            if (focusedIn(child.toObject(), appId)) return true;
    }
    return false;
}

}  // namespace

QJsonDocument askSway(const WaylandSession& session, const std::string& type) {
    const std::string command = "swaymsg -r -t " + type + " -s '" + session.swaySocket() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string answer;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        answer.append(buffer, got);
    pclose(pipe);
    return QJsonDocument::fromJson(QByteArray::fromStdString(answer));
}

bool hasFocus(const WaylandSession& session, const std::string& appId) {
    return focusedIn(askSway(session, "get_tree").object(), QString::fromStdString(appId));
}

}  // namespace ks::test
