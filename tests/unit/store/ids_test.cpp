#include "store/ids.h"

#include <regex>
#include <set>
#include <thread>
#include <unordered_set>

#include <gtest/gtest.h>

#include "platform/text.h"

namespace unitarc::store {
namespace {

const std::string kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool onlyIdCharacters(const std::string& id) { return id.find_first_not_of(kAlphabet) == std::string::npos; }

struct LengthCase {
    std::string label;
    int length;
    std::size_t expected;
};

class NodeIdLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(NodeIdLength, givesThatManyIdCharacters) {
    const std::string id = newNodeId(GetParam().length);
    EXPECT_EQ(id.size(), GetParam().expected);
    EXPECT_TRUE(onlyIdCharacters(id)) << id;
}

INSTANTIATE_TEST_SUITE_P(Lengths, NodeIdLength,
                         ::testing::Values(LengthCase{"one", 1, 1}, LengthCase{"fileIdTail", 4, 4},
                                           LengthCase{"nodeId", 8, 8}, LengthCase{"longest", 10, 10},
                                           LengthCase{"longerThanPermuted", 16, 16}, LengthCase{"zero", 0, 0},
                                           LengthCase{"negative", -3, 0}),
                         [](const auto& info) { return info.param.label; });

TEST(NodeId, defaultsToEightCharacters) { EXPECT_EQ(newNodeId().size(), 8u); }

TEST(NodeId, hundredThousandDrawsNeverRepeat) {
    std::unordered_set<std::string> seen;
    for (int i = 0; i < 100000; ++i) ASSERT_TRUE(seen.insert(newNodeId(8)).second) << "repeat after " << i;
}

TEST(NodeId, shortIdsOfFileIdsDoNotRepeatEither) {
    std::unordered_set<std::string> seen;
    for (int i = 0; i < 100000; ++i) ASSERT_TRUE(seen.insert(newNodeId(4)).second) << "repeat after " << i;
}

TEST(NodeId, drawsFromThreadsNeverRepeat) {
    constexpr int kThreads = 4, kEach = 5000;
    std::vector<std::vector<std::string>> drawn(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&drawn, t] {
            for (int i = 0; i < kEach; ++i) drawn[static_cast<std::size_t>(t)].push_back(newNodeId());
        });
    for (auto& thread : threads) thread.join();
    std::unordered_set<std::string> all;
    for (const auto& ids : drawn) all.insert(ids.begin(), ids.end());
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST(NodeId, everyPositionUsesTheWholeAlphabet) {
    std::vector<std::set<char>> used(8);
    for (int i = 0; i < 20000; ++i) {
        const std::string id = newNodeId();
        for (std::size_t p = 0; p < id.size(); ++p) used[p].insert(id[p]);
    }
    for (std::size_t p = 0; p < used.size(); ++p) EXPECT_EQ(used[p].size(), kAlphabet.size()) << "position " << p;
}

TEST(NodeId, consecutiveIdsDoNotShareAStem) {
    // Ids drawn one after another must not look like a counter.
    int samePrefix = 0;
    std::string previous = newNodeId();
    for (int i = 0; i < 1000; ++i) {
        const std::string id = newNodeId();
        if (id.compare(0, 4, previous, 0, 4) == 0) ++samePrefix;
        previous = id;
    }
    EXPECT_LT(samePrefix, 5);
}

TEST(FileId, isCodeThenLocalTimeThenFourIdCharacters) {
    const std::string before = text::formatStamp(text::now());
    const std::string id = newFileId("E001");
    const std::string after = text::formatStamp(text::now());

    ASSERT_TRUE(std::regex_match(id, std::regex("E001[0-9]{14}[0-9A-Za-z]{4}"))) << id;
    const std::string stamp = id.substr(4, 14);
    EXPECT_TRUE(stamp == before || stamp == after) << stamp;
}

TEST(FileId, keepsAnyEntityCodeInFront) {
    const std::string id = newFileId("单位-01");
    EXPECT_EQ(id.rfind("单位-01", 0), 0u);
    EXPECT_EQ(id.size(), std::string("单位-01").size() + 18);
}

}  // namespace
}  // namespace unitarc::store
