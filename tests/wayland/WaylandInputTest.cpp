// Typing and the pointer through the program's virtual keyboard and pointer
// on headless sway, read back by real clients: foot (a terminal, its shell
// writing what is typed to a file) and the Qt typing window.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "TypingWindow.h"
#include "WaylandSession.h"
#include "keys/KeySequence.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandInput.h"

namespace ks::test {
namespace {

using wayland::WaylandConnection;
using wayland::WaylandInput;

// Every kind of character: ASCII with its punctuation, Latin-1 (more
// characters off the US layout than one binding of the spare keys holds),
// CJK, emoji beyond the basic plane, and Enter between the lines.
const std::string kMixedText =
    "The quick brown fox, 0123456789 !@#$%^&*()_+-=[]{};':\",./<>?\\|`~\n"
    "Latin-1: àáâãäå çèéêë ìíîï ñòóôõö ùúûüý ÿ ß ¡¿ £¥ ©® °± µ¶ «»\n"
    "CJK: 日本語のテキスト 中文字符 한국어\n"
    "Emoji: 😀🎉👍🚀\n";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool focusedIn(const QJsonObject& node, const QString& appId) {
    if (node["focused"].toBool() && node["app_id"].toString() == appId) return true;
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node[children].toArray()) {
            if (focusedIn(child.toObject(), appId)) return true;
        }
    }
    return false;
}

// Whether sway has given the keyboard focus to a window of `appId`.
bool hasFocus(const WaylandSession& session, const std::string& appId) {
    const std::string command = "swaymsg -r -t get_tree -s '" + session.swaySocket() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    std::string tree;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        tree.append(buffer, got);
    pclose(pipe);
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(tree));
    return focusedIn(document.object(), QString::fromStdString(appId));
}

class WaylandInputTest : public testing::Test {
protected:
    void SetUp() override {
        KS_SKIP_WITHOUT(session_);
        auto connection = WaylandConnection::open(session_.socketPath());
        ASSERT_TRUE(connection) << connection.error();
        connection_ = std::move(*connection);
        // Made before the target starts, as the program makes it at its start.
        auto input = WaylandInput::open(*connection_);
        ASSERT_TRUE(input) << input.error();
        input_ = std::move(*input);
    }

    void type(const std::string& text) {
        KeySequence(input_->keymap(), input_->injector(), input_->spareKeys(), input_->keyboard())
            .TypeText(text);
    }

    // foot running a shell that writes what is typed into it to a file.
    std::string startFoot() {
        const std::string out = session_.runtimeDir() + "/typed";
        session_.startClient({"foot", "sh", "-c", "exec cat > " + out});
        EXPECT_TRUE(eventually([&] { return hasFocus(session_, "foot"); }));
        return out;
    }

    WaylandSession session_{WaylandSession::Compositor::Sway, "default_border none"};
    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<WaylandInput> input_;
};

TEST_F(WaylandInputTest, TypesEveryKindOfCharacterIntoFootByteForByte) {
    const std::string out = startFoot();
    type(kMixedText);
    std::string typed;
    eventually([&] { return (typed = readFile(out)).size() >= kMixedText.size(); });
    EXPECT_EQ(typed, kMixedText);
}

TEST_F(WaylandInputTest, TypesEveryKindOfCharacterIntoAQtWindowByteForByte) {
    TypingWindow window(session_);
    type(kMixedText);
    EXPECT_EQ(window.text(kMixedText.size()), kMixedText);
}

}  // namespace
}  // namespace ks::test
