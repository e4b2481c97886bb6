#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include <clocale>
#include <cstdlib>

#include "CommandFixture.h"
#include "QtTestLoop.h"
#include "store/StoreKey.h"
#include "system/DateTimeCommands.h"
#include "system/FakeSystem.h"

namespace ks::test {
namespace {

// Sunday 4 January 2009, 03:02:01 CET: every field that can lose a leading zero has one.
constexpr std::time_t kJanuary = 1231034521;
// Saturday 5 December 2026, 21:05:09 CET.
constexpr std::time_t kDecember = 1796501109;

DateTimePart in(std::int32_t order, std::int32_t format, std::string append = "",
                std::string prepend = "") {
    return DateTimePart{true, order, format, std::move(prepend), std::move(append)};
}
DateTimePart out(std::int32_t order) {
    return DateTimePart{false, order, 0, "", ""};
}
std::string format(bool date, const DateTimeParts& parts, bool utc, std::time_t when) {
    return date ? FormatDateParts(parts, utc, when) : FormatTimeParts(parts, utc, when);
}

// The run's waits move its virtual clock and let Qt's events through for a
// few real milliseconds.
class DateTimeCommandsTest : public CommandFixture, SystemClock {
protected:
    void SetUp() override {
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        if (std::setlocale(LC_TIME, "C.UTF-8") == nullptr) std::setlocale(LC_TIME, "C");
        system.clock.set(kDecember * 1000);
        system.whileWaiting = [this](std::int64_t) {
            runEventsUntil([] { return false; }, 5);
            if (++waits == stopAtWait) system.EndRun();
        };
    }
    Result setUtc(std::int64_t secondsSince1970) override {
        clockSet.push_back(secondsSince1970);
        return Result::success();
    }
    DateTimeCommands commands(std::vector<std::string> hosts = {}, std::uint16_t port = 0) {
        return DateTimeCommands(
            system, system.clock, *this,
            [this](std::string_view text) { typed.emplace_back(text); },
            TimeServers{std::move(hosts), port});
    }

    FakeSystem system;
    int waits = 0, stopAtWait = 0;
    std::vector<std::string> typed;
    std::vector<std::int64_t> clockSet;
};

TEST_F(DateTimeCommandsTest, EveryFormatOfEveryPart) {
    // By format index: the date's parts, then the time's.
    const std::vector<std::string> outputs[2 * kPartCount] = {
        {"01", "1", "Jan", "January"},
        {"04", "4", "Sun", "Sunday", "0", "004", "4"},
        {"09", "9", "2009", "2009"},
        {"01", "1", "00", "0"},
        {"CET"},
        {"03", "3", "03", "3"},
        {"02", "2"},
        {"01", "1"},
        {"AM"},
        {"CET"},
    };
    for (std::size_t row = 0; row < std::size(outputs); ++row) {
        const bool date = row < kPartCount;
        const PartKind& kind = (date ? dateParts() : timeParts())[row % kPartCount];
        // One format past the list adds only the texts around the part.
        for (std::size_t index = 0; index <= outputs[row].size(); ++index) {
            DateTimeParts parts{out(4), out(4), out(4), out(4), out(4)};
            parts[row % kPartCount] = in(0, static_cast<std::int32_t>(index), ">", "<");
            const std::string value = index < outputs[row].size() ? outputs[row][index] : "";
            EXPECT_EQ(format(date, parts, false, kJanuary), "<" + value + ">") << kind.name;
        }
    }
}

TEST_F(DateTimeCommandsTest, PartsAreAssembledByOrder) {
    // 'd'ate or time in 'u'TC, its parts and what they make.
    const std::tuple<char, DateTimeParts, std::string> cases[] = {
        {'d', {in(1, 3, " "), in(0, 3, ", "), in(3, 2), out(4), out(4)}, "Saturday, December 2026"},
        {'u', {in(0, 0, ":"), in(1, 0, " "), out(4), in(2, 0), in(3, 0, "", " ")}, "08:05 PM GMT"},
        {'d', {in(0, 0), in(0, 1), out(2), out(3), out(4)}, "12"},
        {'d', {out(0), in(0, 1), out(2), out(3), out(4)}, ""},
        {'d', {in(5, 0), in(-1, 0), in(4, 2), out(3), out(3)}, "2026"},
    };
    for (const auto& [kind, parts, expected] : cases)
        EXPECT_EQ(format(kind == 'd', parts, kind == 'u', kDecember), expected);
}

TEST_F(DateTimeCommandsTest, SendDateTypesThePartsReadUnderItsKeyOrNothing) {
    expander.values["sep"] = "/";
    writeNumber("UseGMT", 0);
    // Each part's Include, Format and Append (the last part's also its Prepend), in order.
    const std::tuple<std::uint32_t, std::uint32_t, const char*> parts[] = {
        {1, 1, "{sep}"}, {1, 1, "/"}, {1, 2, ""}, {0, 0, ""}, {1, 0, "|"}};
    for (std::uint32_t i = 0; i < std::size(parts); ++i) {
        const auto& [include, format, text] = parts[i];
        const std::string key = std::string(kCommand) + "\\" + std::to_string(i);
        store->CreateMacroKey(key);
        for (const auto& [name, value] :
             {std::pair{"Include", include}, {"Order", i}, {"Format", format}})
            store->WriteDword(value, "\\Macros\\" + key, name);
        store->WriteMacroString(text, key, "Append");
        store->WriteMacroString(i == 4 ? text : "", key, "Prepend");
    }
    auto sendDate = commands();
    runCommand(sendDate, kSendDate);
    EXPECT_EQ(typed, std::vector<std::string>{"12/5/2026|CET|"});

    store->DeleteValue(StoreKey::macros().child(kCommand).child("4").direct(), "Prepend");
    runCommand(sendDate, kSendTime);
    EXPECT_EQ(typed.size(), 1u);
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(DateTimeCommandsTest, SetClockSetsOnlyFromACompleteReplyUnlessTheRunStops) {
    const QByteArray december2024("\xeb\x19\xbe\x00", 4);
    // Nothing listens on 127.0.0.2 or 127.0.0.3: they refuse the connection.
    const struct {
        std::vector<std::string> hosts;
        QByteArray reply;
        int stopAtWait;
        std::vector<std::int64_t> expected;
    } cases[] = {
        {{"127.0.0.1"}, december2024.left(3), 0, {}},
        {{"127.0.0.2", "127.0.0.1"}, december2024, 0, {1735344000}},
        {{"127.0.0.1"}, {}, 0, {}},  // no reply in time
        {{"127.0.0.1"}, {}, 3, {}},
        {{"127.0.0.1"}, QByteArray(4, '\0'), 0, {2085978496}},    // 2036, wrapped
        {{"127.0.0.1"}, QByteArray(4, '\xff'), 0, {2085978495}},  // just before
    };
    for (const auto& c : cases) {
        clockSet.clear();
        waits = 0;
        stopAtWait = c.stopAtWait;
        system.run = 1;
        // Sends the reply to each connection and closes it; an empty reply never comes.
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [&server, &c] {
            QTcpSocket* socket = server.nextPendingConnection();
            socket->write(c.reply);
            if (!c.reply.isEmpty()) socket->disconnectFromHost();
        });
        auto setClock = commands(c.hosts, server.serverPort());
        runCommand(setClock, kSetClock);
        EXPECT_EQ(clockSet, c.expected) << c.hosts.front() << " " << c.reply.size();
        EXPECT_TRUE(c.stopAtWait == 0 || waits == c.stopAtWait) << waits;
    }
}

}  // namespace
}  // namespace ks::test
