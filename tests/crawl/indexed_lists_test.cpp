#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "crawl/block_pool.h"
#include "crawl/record_list.h"
#include "crawl/url_list.h"

namespace wg {
namespace {

UrlRecordPtr Rec(const std::string& url) {
    auto r = std::make_shared<UrlRecord>();
    r->url = url;
    return r;
}

TEST(IndexedLists, RecordListKeepsItsIndexesExactThroughEveryChange) {
    // The key is the URL up to the first '&' after the query.
    EXPECT_EQ(SingleParamKey("http://h/p?a=1&b=2"), "http://h/p?a=1");
    EXPECT_EQ(SingleParamKey("http://h/p&x?a=1&b=2&c"), "http://h/p&x?a=1");
    EXPECT_EQ(SingleParamKey("http://h/p?a=1"), "");
    EXPECT_EQ(SingleParamKey("http://h/p&a=1"), "");
    RecordList list;
    auto a = Rec("http://h/a?x=1&y=2");
    auto b = Rec("http://h/b");
    auto b2 = Rec("http://h/b");
    list.PushBack(a);
    list.PushBack(b);
    list.PushBack(b2);
    EXPECT_TRUE(list.ContainsUrl("http://h/b"));
    EXPECT_TRUE(list.ContainsKey("http://h/a?x=1"));
    EXPECT_TRUE(list.ContainsKey("http://h/b")) << "a URL equal to the key counts";
    EXPECT_FALSE(list.ContainsKey("http://h/a?x=")) << "no prefix matches inside a value";
    EXPECT_TRUE(list.IndexMatches());

    EXPECT_TRUE(list.RemoveRecord(b.get()));
    b.reset();  // the first indexed entry is gone for good
    EXPECT_TRUE(list.ContainsUrl("http://h/b")) << "the equal second entry is still there";
    EXPECT_FALSE(list.RemoveRecord(nullptr));
    EXPECT_EQ(list.PopFront(), a);
    EXPECT_FALSE(list.ContainsKey("http://h/a?x=1"));
    EXPECT_TRUE(list.IndexMatches());

    for (int i = 0; i < 10; ++i)
        list.PushBack(Rec("http://h/" + std::to_string(i)));
    // "http://h/b" and the even digits go.
    EXPECT_EQ(list.RemoveIf([](const UrlRecord& r) { return r.url.back() % 2 == 0; }), 6u);
    EXPECT_EQ(list.Size(), 5u);
    EXPECT_EQ(list.Entries()[1]->url, "http://h/3") << "order is kept";
    EXPECT_TRUE(list.IndexMatches());

    int dots = 0;
    for (int i = 0; i < 8192; ++i)
        list.PushBack(Rec("u" + std::to_string(i)));
    list.Clear([&dots] { ++dots; });
    EXPECT_EQ(dots, 2);
    EXPECT_TRUE(list.Empty());
    EXPECT_FALSE(list.ContainsUrl("u1"));
    EXPECT_TRUE(list.IndexMatches());
}

TEST(IndexedLists, UrlListOrderAndIndex) {
    UrlList list;
    list.PushBack("a");
    list.PushBack("b");
    list.PushBack("a");
    list.PushBack("c");
    EXPECT_EQ(list.NewestIndexOf("a"), 2u);
    EXPECT_TRUE(list.RemoveFirst("a"));
    EXPECT_EQ(list.NewestIndexOf("a"), 1u);
    EXPECT_TRUE(list.Contains("a"));
    list.MoveToBack("b");
    std::vector<std::string> order;
    list.ForEach([&](const std::string& u) { order.push_back(u); });
    EXPECT_EQ(order, (std::vector<std::string>{"a", "c", "b"}));
    EXPECT_TRUE(list.IndexMatches());
    EXPECT_EQ(list.PopFront(), "a");
    EXPECT_FALSE(list.Contains("a"));
    EXPECT_EQ(list.RemoveIf([](const std::string& u) { return u == "b"; }), 1u);
    EXPECT_TRUE(list.IndexMatches());
    list.Clear();
    EXPECT_FALSE(list.Contains("c"));
    EXPECT_EQ(list.PopFront(), std::nullopt);
}

// Pooled records cross threads as in a crawl: one thread queues, another takes
// and drops them, while a third hints lookups without the lock.
TEST(IndexedLists, PooledRecordsAndLockFreeHintsStress) {
    RecordList list;
    UrlList files;
    std::mutex mutex;
    std::atomic<bool> done{false};
    std::thread hinter([&] {
        while (!done.load()) {
            list.Prefetch("http://h/p?a=1&b=2", true);
            files.Prefetch("http://h/f", true);
        }
    });
    std::thread taker([&] {
        for (int taken = 0; taken < 4000;) {
            UrlRecordPtr r;
            {
                std::lock_guard<std::mutex> lock(mutex);
                r = list.PopFront();
                (void)files.PopFront();
            }
            if (r) {
                EXPECT_EQ(r->url.rfind("http://h/", 0), 0u);
                ++taken;
            }
        }
    });
    for (int i = 0; i < 4000; ++i) {
        auto r = NewUrlRecord();
        r->url = "http://h/" + std::to_string(i) + "?a=1&b=" + std::to_string(i % 7);
        std::lock_guard<std::mutex> lock(mutex);
        list.PushBack(std::move(r));
        files.PushBack("http://h/f" + std::to_string(i % 50));
    }
    taker.join();
    done.store(true);
    hinter.join();
    EXPECT_TRUE(list.Empty());
    EXPECT_TRUE(list.IndexMatches());
    EXPECT_TRUE(files.IndexMatches());
}

}  // namespace
}  // namespace wg
