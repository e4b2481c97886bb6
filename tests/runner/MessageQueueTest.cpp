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
        for (const std::uint32_t id : ids) {
            queue.setHandler(id,
                             [this](Message& message) { received.push_back(std::move(message)); });
        }
    }
    [[nodiscard]] bool waitForReceived(std::size_t count) {
        return QTest::qWaitFor([&] { return received.size() >= count; });
    }

    MessageQueue queue;
    std::vector<Message> received;
};

TEST_F(MessageQueueTest, EventLoopDispatchesInPostingOrder) {
    recordEach({kMsgRunStep, kMsgStopRun});
    for (const std::uint32_t id : {kMsgRunStep, kMsgStopRun, kMsgRunStep}) {
        ASSERT_TRUE(queue.post(Message{id, {}, {}, 0}));
    }
    ASSERT_TRUE(waitForReceived(3));
    EXPECT_EQ(received[0].id, kMsgRunStep);
    EXPECT_EQ(received[1].id, kMsgStopRun);
    EXPECT_EQ(received[2].id, kMsgRunStep);
}

TEST_F(MessageQueueTest, PostsFromOtherThreadsKeepEachThreadsOrder) {
    constexpr int kEach = 2000;
    recordEach({1, 2});
    auto poster = [this](std::uint32_t id) {
        for (int i = 0; i < kEach; ++i) queue.post(Message{id, {}, {}, i});
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
    queue.post(Message{7, {}, {}, 0});
    queue.post(Message{kMsgStopRun, {}, {}, 0});
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
        std::string name = "Morning mail";
        ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, name));
        std::string first = "one";
        std::string second = "two";
        ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, first, second));
        ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, std::nullopt, second));
        name.assign("overwritten");
        first.clear();
    }
    ASSERT_TRUE(waitForReceived(3));
    EXPECT_EQ(received[0].text1, "Morning mail");
    EXPECT_FALSE(received[0].text2.has_value());
    EXPECT_EQ(received[1].text1, "one");
    EXPECT_EQ(received[1].text2, "two");
    EXPECT_FALSE(received[2].text1.has_value());
    EXPECT_EQ(received[2].text2, "two");
}

TEST_F(MessageQueueTest, ClosedQueueRefusesPostsButDeliversWhatWaits) {
    recordEach({kMsgStartMacro});
    ASSERT_TRUE(PostStringsToThread(queue, kMsgStartMacro, "before"));
    queue.close();
    EXPECT_FALSE(PostStringsToThread(queue, kMsgStartMacro, "after"));
    EXPECT_FALSE(queue.post(Message{kMsgRunStep, {}, {}, 0}));
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
    queue.setHandler(1, [](Message&) { throw std::runtime_error("broken handler"); });
    queue.post(Message{1, {}, {}, 0});
    queue.post(Message{99, {}, {}, 0});
    queue.post(Message{2, {}, {}, 0});
    ASSERT_TRUE(waitForReceived(1));
    EXPECT_EQ(received[0].id, 2u);
    EXPECT_TRUE(queue.empty());
}

TEST_F(MessageQueueTest, HandlerMayRemoveItself) {
    int calls = 0;
    queue.setHandler(5, [&](Message&) {
        ++calls;
        queue.removeHandler(5);
    });
    queue.post(Message{5, {}, {}, 0});
    queue.post(Message{5, {}, {}, 0});
    EXPECT_TRUE(QTest::qWaitFor([&] { return queue.empty(); }));
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace ks
