#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runner/MessageQueue.h"

namespace ks {
namespace {

class MessageQueueTest : public ::testing::Test {
protected:
    void recordEach(std::initializer_list<std::uint32_t> ids) {
        for (const std::uint32_t id : ids)
            queue.setHandler(id, [this](Message& message) { received.push_back(message); });
    }
    [[nodiscard]] bool waitForReceived(std::size_t count) {
        return QTest::qWaitFor([&] { return received.size() >= count; });
    }
    bool post(std::uint32_t id, std::int64_t number = 0) {
        return queue.post(Message{id, {}, {}, number});
    }

    MessageQueue queue;
    std::vector<Message> received;
};

TEST_F(MessageQueueTest, PostsFromOtherThreadsKeepEachThreadsOrder) {
    constexpr int kEach = 2000;
    recordEach({1, 2});
    auto poster = [this](std::uint32_t id) {
        for (int i = 0; i < kEach; ++i) post(id, i);
    };
    std::thread first(poster, 1);
    std::thread second(poster, 2);
    first.join();
    second.join();
    ASSERT_TRUE(waitForReceived(2 * kEach));
    std::int64_t next[3] = {0, 0, 0};
    for (const Message& message : received) EXPECT_EQ(message.number, next[message.id]++);
    EXPECT_EQ(next[1], kEach);
    EXPECT_EQ(next[2], kEach);
}

TEST_F(MessageQueueTest, AsksForAWaitingMessageWithoutRemovingIt) {
    recordEach({kMsgStopRun, 7});
    post(7);
    post(kMsgStopRun);
    EXPECT_TRUE(queue.isWaiting(kMsgStopRun));
    EXPECT_TRUE(queue.isWaiting(kMsgStopRun));
    EXPECT_FALSE(queue.isWaiting(kMsgRunStep));
    EXPECT_TRUE(queue.dispatchOne());
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].id, 7u);
    EXPECT_TRUE(queue.isWaiting(kMsgStopRun));
    EXPECT_TRUE(queue.dispatchOne());
    EXPECT_FALSE(queue.isWaiting(kMsgStopRun));
    EXPECT_FALSE(queue.dispatchOne());
}

TEST_F(MessageQueueTest, PostedTextsAreTheReceiversOwnCopies) {
    recordEach({kMsgStartMacro});
    {
        std::string first = "one";
        std::string second = "two";
        ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, first));
        ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, std::nullopt, second));
        first.assign("overwritten");
        second.clear();
    }
    ASSERT_TRUE(waitForReceived(2));
    EXPECT_EQ(received[0].text1, "one");
    EXPECT_FALSE(received[0].text2.has_value());
    EXPECT_FALSE(received[1].text1.has_value());
    EXPECT_EQ(received[1].text2, "two");
}

TEST_F(MessageQueueTest, ClosedQueueRefusesPostsButDeliversWhatWaits) {
    recordEach({kMsgStartMacro});
    ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, "before"));
    queue.close();
    EXPECT_FALSE(PostStringsToThread(queue, kMsgStartMacro, "after"));
    EXPECT_FALSE(post(kMsgRunStep));
    ASSERT_TRUE(waitForReceived(1));
    QTest::qWait(20);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].text1, "before");
}

TEST_F(MessageQueueTest, StartMacroIsForwardedAsRunMacroByName) {
    recordEach({kMsgRunMacroByName});
    ForwardStartRequests(queue, queue);
    ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, "Report", "extra"));
    ASSERT_TRUE(waitForReceived(1));
    EXPECT_EQ(received[0].id, kMsgRunMacroByName);
    EXPECT_EQ(received[0].text1, "Report");
    EXPECT_EQ(received[0].text2, "extra");
}

TEST_F(MessageQueueTest, HandlerExceptionsAndUnhandledMessagesStopNothing) {
    recordEach({2});
    int removals = 0;
    queue.setHandler(1, [](Message&) { throw std::runtime_error("broken handler"); });
    queue.setHandler(5, [&](Message&) {  // a handler may remove itself
        ++removals;
        queue.removeHandler(5);
    });
    for (const std::uint32_t id : {1, 99, 5, 5, 2}) post(id);
    ASSERT_TRUE(waitForReceived(1));
    EXPECT_EQ(received[0].id, 2u);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(removals, 1);
}

}  // namespace
}  // namespace ks
