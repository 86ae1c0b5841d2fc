#include "net/cookie_jar.h"

#include <fstream>

#include <gtest/gtest.h>

#include "support/test_dirs.h"

namespace wg {
namespace {

constexpr std::int64_t kNow = 1700000000;  // 2023-11-14 22:13:20 UTC

TEST(CookieJar, AnswersTheCookiesOfTheUrlsHost) {
    CookieJar jar([] { return kNow; });
    jar.Store("http://www.example.com", "id=42; Path=/private; HttpOnly\r\n");
    jar.Store("http://www.example.com", "theme=dark");
    jar.Store("http://www.example.com", "id=43");  // replaced in place
    jar.Store("http://www.example.com", "flag");   // no name
    jar.Store("http://other.example.com", "x=1");
    EXPECT_EQ(jar.CookieHeaderFor("http://www.example.com"), "id=43; theme=dark; flag");
    EXPECT_EQ(jar.CookieHeaderFor("https://WWW.Example.COM:8443/any/path?q=1"),
              "id=43; theme=dark; flag");
    EXPECT_EQ(jar.CookieHeaderFor("http://other.example.com/"), "x=1");

    // Nothing that could end the Cookie line early is kept.
    jar.Store("http://evil.example", "a=1\r\nX-Injected: 1");
    jar.Store("http://evil.example", std::string("a=1\0b", 5));
    jar.Store("http://evil.example", std::string(kMaxCookieBytes + 1, 'a'));
    EXPECT_EQ(jar.CookieHeaderFor("http://evil.example"), "");
    EXPECT_EQ(jar.Size(), 4u);

    for (std::size_t i = 0; i < kMaxCookiesPerHost + 1; ++i) {
        jar.Store("http://many.example", "c" + std::to_string(i) + "=v");
    }
    const std::string many = jar.CookieHeaderFor("http://many.example");
    EXPECT_EQ(many.find("c0=v"), std::string::npos);  // the oldest went
    EXPECT_EQ(many.rfind("c1=v; ", 0), 0u);
}

TEST(CookieJar, LifetimeAttributesDeleteAndExpire) {
    std::int64_t now = kNow;
    CookieJar jar([&now] { return now; });
    jar.Store("http://h", "a=1");
    jar.Store("http://h", "b=2");
    jar.Store("http://h", "c=3; Max-Age=60");
    jar.Store("http://h", "d=4; expires=Wed, 15 Nov 2023 22:13:20 GMT");  // a day ahead
    jar.Store("http://h", "a=gone; Max-Age=0");
    jar.Store("http://h", "b=gone; Expires=Thu, 01-Jan-1970 00:00:01 GMT");
    jar.Store("http://h", "f=6");
    jar.Store("http://h", "f=deleted; Expires=Fri, 01 Jan 1960 00:00:00 GMT");  // before 1970
    jar.Store("http://h",
              "e=5; Expires=Sun, 06 Nov 1994 08:49:37 GMT");  // deletes nothing, keeps nothing
    EXPECT_EQ(jar.CookieHeaderFor("http://h"), "c=3; d=4");
    now += 61;
    EXPECT_EQ(jar.CookieHeaderFor("http://h"), "d=4");
    now += 86400;
    EXPECT_EQ(jar.CookieHeaderFor("http://h"), "");

    EXPECT_EQ(CookieJar::ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
    EXPECT_EQ(CookieJar::ParseHttpDate("Wed, 31 Dec 1969 23:59:59 GMT"), 0);
    EXPECT_EQ(CookieJar::ParseHttpDate("Sun, 36 Nov 1994 08:49:37 GMT"), -1);
}

TEST(CookieJar, SavesAndLoadsAndSurvivesDamagedFiles) {
    test::TempDir dir;
    const auto file = dir / kCookieFileName;
    std::int64_t now = kNow;
    CookieJar jar([&now] { return now; });
    jar.Store("http://a.example", "s=1");
    jar.Store("http://a.example", "flag");
    jar.Store("http://b.example:81", "t=2; Max-Age=100");
    jar.Store("http://c.example", "u=3; Max-Age=10");
    now += 50;  // u has ended and is not saved
    ASSERT_EQ(jar.Save(file), 0);

    CookieJar loaded([&now] { return now; });
    loaded.Store("http://stale.example", "old=1");
    ASSERT_EQ(loaded.Load(file), 0);
    EXPECT_EQ(loaded.CookieHeaderFor("http://a.example"), "s=1; flag");
    EXPECT_EQ(loaded.CookieHeaderFor("http://b.example"), "t=2");
    EXPECT_EQ(loaded.CookieHeaderFor("http://c.example"), "");
    EXPECT_EQ(loaded.CookieHeaderFor("http://stale.example"), "");
    now += 60;
    EXPECT_EQ(loaded.CookieHeaderFor("http://b.example"), "");  // the end survives the file

    EXPECT_EQ(loaded.Load(dir / "missing.txt"), 0);
    EXPECT_EQ(loaded.Size(), 0u);

    {
        std::ofstream damaged(file, std::ios::binary);
        damaged << "good.example\t0\tk=v\r\n"
                << "no tabs at all\n"
                << "Bad Host\t0\tk=v\n"
                << "x.example\tnot-a-number\tk=v\n"
                << "x.example\t-5\tk=v\n"
                << "y.example\t0\t\n"
                << std::string("\0\xff\t\t\t", 5) << "\n"
                << "z.example\t99999999999999999999999\tk=v\n"
                << "tail.example\t0\tlast=1";  // no final line break
    }
    EXPECT_EQ(loaded.Load(file), 0);
    EXPECT_EQ(loaded.CookieHeaderFor("http://good.example"), "k=v");
    EXPECT_EQ(loaded.CookieHeaderFor("http://tail.example"), "last=1");
    EXPECT_EQ(loaded.Size(), 2u);
}

}  // namespace
}  // namespace wg
