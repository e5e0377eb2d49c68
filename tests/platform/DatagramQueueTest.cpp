// The receive queue's rings: contents survive wrapping and growth, and the
// byte bound and record cap hold.
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <cstring>
#include <deque>
#include <random>
#include <string>

#include "platform/DatagramQueue.h"

namespace {

using simhost::DatagramQueue;

sockaddr_in Sender(uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return address;
}

void Push(DatagramQueue& queue, const std::string& bytes, uint16_t port) {
    sockaddr_in from = Sender(port);
    queue.push(bytes.data(), bytes.size(), reinterpret_cast<const sockaddr*>(&from), sizeof from);
}

struct Expected {
    std::string bytes;
    uint16_t port;
};

void ExpectFront(const DatagramQueue& queue, const Expected& expected) {
    DatagramQueue::Datagram front = queue.front();
    ASSERT_EQ(std::string(front.bytes, front.length), expected.bytes);
    ASSERT_EQ(front.fromLength, sizeof(sockaddr_in));
    EXPECT_EQ(ntohs(reinterpret_cast<const sockaddr_in*>(front.from)->sin_port), expected.port);
}

TEST(DatagramQueue, RandomTrafficKeepsContentsOrderAndBound) {
    DatagramQueue queue;
    queue.setByteBound(150000);
    std::deque<Expected> model;
    size_t modelBytes = 0;
    std::mt19937 random(12345);
    uint16_t nextPort = 1;
    for (int step = 0; step < 20000; ++step) {
        // Mostly small datagrams, some near the largest size, a few empty.
        size_t length = random() % 10 == 0 ? 60000 + random() % 5537 : random() % 1500;
        if (random() % 50 == 0) length = 0;
        bool write = random() % 2 == 0;
        if (write) {
            std::string bytes(length, '\0');
            for (auto& byte : bytes) byte = static_cast<char>(random());
            bool fits = modelBytes + length <= 150000;
            ASSERT_EQ(queue.fits(length), fits);
            if (fits) {
                Push(queue, bytes, nextPort);
                model.push_back({bytes, nextPort});
                modelBytes += length;
                ++nextPort;
            }
        } else if (!model.empty()) {
            ExpectFront(queue, model.front());
            queue.pop();
            modelBytes -= model.front().bytes.size();
            model.pop_front();
        }
        ASSERT_EQ(queue.bytes(), modelBytes);
        ASSERT_EQ(queue.count(), model.size());
    }
    while (!model.empty()) {
        ExpectFront(queue, model.front());
        queue.pop();
        model.pop_front();
    }
    EXPECT_TRUE(queue.empty());
}

TEST(DatagramQueue, RaisingTheBoundKeepsQueuedDatagrams) {
    DatagramQueue queue;
    queue.setByteBound(3000);
    Push(queue, std::string(1000, 'a'), 1);
    Push(queue, std::string(1500, 'b'), 2);
    queue.pop();
    Push(queue, std::string(1400, 'c'), 3);  // lands after the wrap or behind 'b'
    EXPECT_FALSE(queue.fits(200));
    queue.setByteBound(100000);
    EXPECT_TRUE(queue.fits(65536));
    EXPECT_FALSE(queue.fits(65537));
    Push(queue, std::string(60000, 'd'), 4);
    ExpectFront(queue, {std::string(1500, 'b'), 2});
    queue.pop();
    ExpectFront(queue, {std::string(1400, 'c'), 3});
    queue.pop();
    ExpectFront(queue, {std::string(60000, 'd'), 4});
    // Lowering it stops arrivals until the queue drains below it.
    queue.setByteBound(1000);
    EXPECT_FALSE(queue.fits(1));
    queue.pop();
    EXPECT_TRUE(queue.fits(1000));
}

TEST(DatagramQueue, EmptyQueueTakesOneDatagramBeyondTheBound) {
    DatagramQueue queue;
    queue.setByteBound(100);
    EXPECT_FALSE(queue.fits(DatagramQueue::kMaxDatagram + 1));
    ASSERT_TRUE(queue.fits(5000));
    Push(queue, std::string(5000, 'x'), 9);
    EXPECT_FALSE(queue.fits(1));
    ExpectFront(queue, {std::string(5000, 'x'), 9});
    queue.pop();
    EXPECT_TRUE(queue.fits(100));
}

TEST(DatagramQueue, RecordCountIsCappedAndClearEmpties) {
    DatagramQueue queue;
    queue.setByteBound(1000);
    for (size_t i = 0; i < DatagramQueue::kMaxDatagrams; ++i) {
        ASSERT_TRUE(queue.fits(0));
        queue.push(nullptr, 0, nullptr, 0);
    }
    EXPECT_FALSE(queue.fits(0));
    EXPECT_EQ(queue.front().fromLength, 0u);
    queue.clear();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.bytes(), 0u);
    EXPECT_TRUE(queue.fits(1000));
}

}  // namespace
