#include "crawl/link_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "util/text.h"

namespace wg {
namespace {

using Urls = std::vector<std::string>;

constexpr std::string_view kPageUrl = "http://www.example.com/dir/index.htm";

std::string Dir(std::string_view rest) {
    return "http://www.example.com/dir/" + std::string(rest);
}
std::string Site(std::string_view rest) {
    return "http://www.example.com/" + std::string(rest);
}

// Records what the scanner queues; a URL is queued once, as the queues do.
class RecordingSink : public LinkSink {
public:
    UrlRecordPtr AddSite(std::string_view url, std::uint8_t allLinked, std::uint8_t withinDomain,
                         std::uint8_t, bool filtered, const std::string* baseUrl) override {
        EXPECT_TRUE(filtered);
        if (std::find(pages.begin(), pages.end(), url) != pages.end())
            return nullptr;
        pages.emplace_back(url);
        scopes.push_back(allLinked * 2 + withinDomain);
        if (baseUrl != nullptr)
            baseOf[std::string(url)] = *baseUrl;
        return std::make_shared<UrlRecord>();
    }
    void AddFile(std::string_view url, bool userAdded, bool fileUrlMode) override {
        EXPECT_FALSE(userAdded);
        EXPECT_FALSE(fileUrlMode);
        if (std::find(files.begin(), files.end(), url) == files.end())
            files.emplace_back(url);
    }
    void DebugLine(std::string_view text) override { log.emplace_back(text); }
    bool QueuesEmpty() override { return pages.empty() && files.empty(); }
    void ShowStatus(std::string_view text) override { status.emplace_back(text); }
    bool AddingLinksStopped() override { return stopAdding; }

    Urls pages, files, log, status;
    std::vector<int> scopes;
    std::map<std::string, std::string> baseOf;
    bool stopAdding = false;
};

enum class Scope { Page, Domain, All };

// One page (after "<html>"): the files and pages its scan queues, in order.
struct Case {
    std::string body;
    Urls files;
    Urls pages = {};
    Scope scope = Scope::Domain;
};

class LinkScannerTest : public ::testing::Test {
protected:
    void Scan(std::string_view body, Scope scope = Scope::Domain, std::string_view url = kPageUrl) {
        sink = RecordingSink();
        sink.stopAdding = stopAdding;
        record.url = url;
        record.allLinked = scope == Scope::All;
        record.withinDomain = scope == Scope::Domain;
        page.body = body;
        page.host = "www.example.com";
        page.domain = "example.com";
        ScanPage(settings, sink, page, record, 0);
    }

    void Check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.body);
            Scan("<html>" + c.body, c.scope);
            EXPECT_EQ(sink.files, c.files);
            EXPECT_EQ(sink.pages, c.pages);
        }
    }

    AppSettings settings;
    bool stopAdding = false;
    RecordingSink sink;
    UrlRecord record;
    FetchedPage page;
};

TEST_F(LinkScannerTest, AttributeValuesAndRelativeLinks) {
    Check({
        {R"(<img src="pics/a.jpg"></html>)", {Dir("pics/a.jpg")}},
        {"<img src=pics/a.jpg></html>", {Dir("pics/a.jpg")}},
        {R"(<a href="sub/page.htm">x</a>)", {Dir("sub/page.htm")}, {Dir("sub/page.htm")}},
        {"<a href=sub/b.htm>x</a>", {Dir("sub/b.htm")}, {Dir("sub/b.htm")}},
        {R"(<a href="/top/c.htm">x</a>)", {Site("top/c.htm")}, {Site("top/c.htm")}},
        // Dot segments are folded; a "./" link is a link like any other (it
        // is no script expression such as ".foo").
        {R"(<a href="../up/d.htm">x</a>)", {Site("up/d.htm")}, {Site("up/d.htm")}},
        {R"(<img src="./pics/../img/b.jpg">)", {Dir("img/b.jpg")}},
        {R"(<a href="./e.htm">x</a>)", {Dir("e.htm")}, {Dir("e.htm")}},
        {R"(<a href="./f/a.zip">x</a>)", {Dir("f/a.zip")}},
        // Dot-less hrefs: directories become pages too, bare names only files.
        {R"(<a href="sub/">s</a><a href="/news/">n</a><a href="plain">p</a>)",
         {Dir("sub/"), Site("news/"), Dir("plain")},
         {Dir("sub/"), Site("news/")}},
        // Query links; a directory keeps its '/' before the query.
        {R"(<a href="list.php?page=2">x</a>)", {Dir("list.php?page=2")}, {Dir("list.php?page=2")}},
        {R"(<a href="http://www.example.com/forum/?page=2">x</a>)",
         {Site("forum/?page=2")},
         {Site("forum/?page=2")}},
        // CSS and inline scripts.
        {"<style>body { background: url(img/bg.png); }</style>", {Dir("img/bg.png")}},
        {"<script>var pic = 'photos/x1.jpg'; img.src = pic;</script>", {Dir("photos/x1.jpg")}},
        // A path parameter and a fragment are cut; brackets inside refuse the link.
        {R"(<a href="pics/photo.jpg;jsessionid=12">x</a><a href="pics/b.jpg#top">)",
         {Dir("pics/photo.jpg"), Dir("pics/b.jpg")}},
        {R"(<a href="pics/{c}.jpg">x</a>)", {}},
        // Protocol-relative links get "http:".
        {R"(<img src="//www.example.com/p.png">)", {"http://www.example.com/p.png"}},
        // Character references of markup are decoded; a script's text keeps them.
        {R"(<a href="view.php?id=27&amp;p=3">x</a>)",
         {Dir("view.php?id=27&p=3")},
         {Dir("view.php?id=27&p=3")}},
        {R"(<a href="v.php?a=1&#38;b=2&#x26;c=3">x</a><img src="a&#x2F;b.png">)",
         {Dir("a/b.png"), Dir("v.php?a=1&b=2&c=3")},
         {Dir("v.php?a=1&b=2&c=3")}},
        {"<script>var u = 'pics/x.jpg?a=1&amp;b=2';</script>", {Dir("pics/x.jpg?a=1&amp;b=2")}},
        // A link whose first dot comes late does not hide the next one.
        {R"(<a href="docs/SIL%20Open%20Font%20License.txt">f</a><a href="b.txt">)",
         {Dir("docs/SIL%20Open%20Font%20License.txt"), Dir("b.txt")}},
        // Each candidate of a srcset is a file; " srcset" is no " src".
        {R"(<img srcset="a.png 1x, /b/C.JPG 2x,c.gif" alt="x">)",
         {Dir("a.png"), Site("b/C.JPG"), Dir("c.gif")}},
        // Short directory links are links.
        {R"(<a href="js/">j</a>)", {Dir("js/")}, {Dir("js/")}},
        // An empty query is no query.
        {"<style>@font-face { src: url('f.eot?#iefix'); }</style>", {Dir("f.eot")}},
    });
}

TEST_F(LinkScannerTest, ScopesDecideWhatIsFollowed) {
    const std::string body = R"(<body>
<a href="next.htm">n</a>
<img src="pics/a.jpg">
<a href="http://other.example/far.htm">f</a>
<img src="http://other.example/p/q.jpg">
<a href="sub/">s</a>
</body></html>)";
    const std::string q = "http://other.example/p/q.jpg";
    Check({
        // "Only This Web Page": files only.
        {body, {Dir("pics/a.jpg"), q}, {}, Scope::Page},
        // Within the domain: the picture from another host still comes through " src".
        {body,
         {Dir("pics/a.jpg"), q, Dir("sub/"), Dir("next.htm")},
         {Dir("sub/"), Dir("next.htm")}},
        // A port is part of the address.
        {R"(<a href="http://127.0.0.1:8080/a.html">x</a>)",
         {},
         {"http://127.0.0.1:8080/a.html"},
         Scope::All},
        // All linked pages: another host's page is crawled, its picture downloaded.
        {body,
         {Dir("sub/"), Dir("next.htm"), Dir("pics/a.jpg"), q},
         {Dir("sub/"), Dir("next.htm"), "http://other.example/far.htm"},
         Scope::All},
    });
    // Pages found carry the page's scope.
    EXPECT_EQ(sink.scopes, (std::vector<int>{2, 2, 2}));
    // A '/' inside the page's query is not its directory.
    Scan(R"(<html><a href="next.htm">n</a>)", Scope::Domain,
         "http://www.example.com/dir/page.php?x=a/b");
    EXPECT_EQ(sink.files, (Urls{Dir("next.htm")}));
    EXPECT_EQ(sink.pages, (Urls{Dir("next.htm")}));
}

TEST_F(LinkScannerTest, LinkElementsInSinglePageScope) {
    const std::string feed =
        R"(<link rel="alternate" href="http://www.example.com/feed.rss"></html>)";
    Check({
        {feed, {Site("feed.rss")}, {Site("feed.rss")}, Scope::Page},
        {R"(<link rel="stylesheet" href="css/site.css"></html>)",
         {Dir("css/site.css")},
         {},
         Scope::Page},
        {R"(<link><a href="x/y.htm">)", {}, {}, Scope::Page},
    });
    settings.dft = kGroupPictures;  // without web pages the pass is off
    Scan("<html>" + feed, Scope::Page);
    EXPECT_TRUE(sink.pages.empty());
}

TEST_F(LinkScannerTest, ScriptExpressionsAreNotLinks) {
    for (const char* text : {
             R"(x = "a.jpg;";)",                  // ends with ';'
             R"(t = ",x.jpg";)",                  // begins with ','
             R"(t = ".x.jpg";)",                  // begins with one dot
             R"(t = "$a.jpg";)",                  // begins with '$'
             R"(t = "-/a.jpg";)",                 // begins with "-/"
             R"(t = "javascript.run2";)",         // javascript ending in a digit
             R"(t = "window.location.htm";)",     // window.
             R"(t = "this.src.jpg";)",            // this.
             R"(t = "x.jpgfoo1234 && z";)",       // " && "
             R"(t = "x.jpgfoo1234 == z";)",       // " =="
             R"(t = "x.gif</script>.y";)",        // </script>
             R"(t = "document.cookie=";)",        // document. ending in '='
             R"(t = "+ x.jpg";)",                 // '+' and a space
             R"(t = "var a; b.jpg";)",            // a statement before the link
             R"(<p>See photo.jpg at home.</p>)",  // prose after '>'
         }) {
        SCOPED_TRACE(text);
        Scan(std::string("<html><script>") + text + "</script>", Scope::All);
        EXPECT_TRUE(sink.files.empty()) << sink.files.front();
        EXPECT_TRUE(sink.pages.empty()) << sink.pages.front();
    }
}

TEST_F(LinkScannerTest, DomainTest) {
    settings.logDebug = true;
    const std::string cdn = "http://example.com.cdn.net/x.htm";
    Check({
        {R"(<a href="http://other.example/go.php?to=example.com">x</a>)", {}},
        {R"(<a href="http://other.example/r?example.com">x</a>)", {}},
        {"<a href=\"" + cdn + "\">x</a>", {cdn}, {cdn}},
        {R"(<a href="http://images.static.example.com/a.jpg">x</a>)",
         {"http://images.static.example.com/a.jpg"}},
    });
    Scan(R"(<html><a href="http://other.example/far.htm">x</a>)");
    EXPECT_EQ(sink.log.front(), "Not In Domain: http://other.example/far.htm");
    // The Flash player vendor's links are refused without a log line.
    Scan(R"(<html><a href="http://download.flashvendor.example/get/flash.htm">x</a>)");
    EXPECT_TRUE(sink.log.empty());
    EXPECT_TRUE(sink.pages.empty());
}

TEST_F(LinkScannerTest, SkipKeywordsOwnUrlAndRejects) {
    settings.logDebug = true;
    settings.types.Set(TypeKind::ExclusionTypes, "ads");
    Scan(R"(<html><img src="ADS/banner.jpg"><img src="pics/ok.jpg">)");
    EXPECT_EQ(sink.files, (Urls{Dir("pics/ok.jpg")}));
    EXPECT_EQ(sink.log.front(), "Contains skip keyword: ADS/banner.jpg");

    Scan(R"(<html><a href="http://www.example.com/dir/index.htm">me</a>)");
    EXPECT_TRUE(sink.files.empty());
    EXPECT_TRUE(sink.pages.empty());

    // Without the catch-all, a link that is neither a file type nor a page is rejected.
    settings.types.Set(TypeKind::FileTypes, ".jpg");
    Scan(R"(<html><a href="readme.txt">r</a><img src="a/b.gif"><a href="x.jpg">)");
    EXPECT_EQ(sink.files, (Urls{Dir("x.jpg")}));
    EXPECT_EQ(sink.log, (Urls{"Reject: readme.txt", "Reject: a/b.gif"}));

    // A stopped page queue takes nothing.
    settings.types.Set(TypeKind::FileTypes, std::string(kDefaultFileTypes));
    stopAdding = true;
    Scan(R"(<html><a href="next.htm">n</a>)");
    EXPECT_EQ(sink.files, (Urls{Dir("next.htm")}));
    EXPECT_TRUE(sink.pages.empty());
}

TEST_F(LinkScannerTest, PagesThatYieldNothing) {
    Scan("<a.jpg>");  // shorter than 8 bytes
    EXPECT_TRUE(sink.files.empty());

    settings.searchType = kSearchOnPage;
    settings.types.Set(TypeKind::SearchWords, "kittens");
    Scan(R"(<html><img src="pics/dog.jpg">)");
    EXPECT_TRUE(sink.files.empty());
    Scan(R"(<html><img src="pics/Kittens.jpg">)");
    EXPECT_EQ(sink.files, (Urls{Dir("pics/Kittens.jpg")}));
}

TEST_F(LinkScannerTest, FlashParameters) {
    Scan(R"(<html><embed src="player.swf"><param name="flashvars")"
         R"( value="streamname=clip1&skinname=skins/blue"><a href="x.txt">)");
    EXPECT_EQ(sink.files,
              (Urls{Dir("player.swf"), Dir("x.txt"), Dir("clip1.flv"), Dir("skins/blue.swf")}));
    EXPECT_TRUE(page.flashSeen);

    // Without a .swf file the parameters are plain text.
    Scan(R"(<html><param value="streamname=clip1&skinname=skins/blue">)");
    EXPECT_TRUE(sink.files.empty());
    EXPECT_FALSE(page.flashSeen);
}

TEST_F(LinkScannerTest, ScriptFiles) {
    record.baseUrl = "http://www.example.com/dir";
    record.hasBaseUrl = true;
    Scan(
        "/* see lib.js */\nvar a = \"img/logo.gif\";\n"
        "document.write(\"<a href='more.htm'>\");\n"
        "function f() { return this.value.length; }\n"
        "var c = 'window.x.htm';",
        Scope::Domain, "http://www.example.com/js/menu.js");
    EXPECT_EQ(sink.files, (Urls{Dir("img/logo.gif"), Dir("more.htm")}));
    EXPECT_EQ(sink.pages, (Urls{Dir("more.htm")}));

    // A script found on a page is queued with the page's directory as its base.
    settings.types.Set(TypeKind::SiteTypes, std::string(kDefaultSiteTypes) + ";.js");
    record.hasBaseUrl = false;
    Scan(R"(<html><script src="js/menu.js"></script>)");
    EXPECT_EQ(sink.pages, (Urls{Dir("js/menu.js")}));
    EXPECT_EQ(sink.baseOf[Dir("js/menu.js")], "http://www.example.com/dir");

    UrlRecord parent;
    parent.url = "http://www.example.com/list?page=2";
    RecordingSink direct;
    AddSiteFromScan(direct, "http://www.example.com/a.js", parent, true);
    EXPECT_EQ(direct.status, (Urls{"Processing..."}));  // both queues were empty
    EXPECT_TRUE(direct.baseOf.empty());                 // a query after the last '/': no base
    parent.url = "http://host";
    AddSiteFromScan(direct, "http://host/b.js", parent, true);
    EXPECT_EQ(direct.baseOf["http://host/b.js"], "http://host");
}

TEST_F(LinkScannerTest, FullBufferWithoutTerminator) {
    constexpr std::size_t kBufferSize = 262144;
    const std::string filler = "<p>Some text, a few words. More words here</p>\n";
    for (const std::string& tail :
         {std::string(R"(<img src="pics/z.jpg")"), std::string(R"(<img src="pics/z.jpg)")}) {
        SCOPED_TRACE(tail);
        // The buffer holds exactly its bytes, so reading past it is caught by
        // the address sanitizer build.
        auto buffer = std::make_unique<char[]>(kBufferSize);
        std::string text;
        while (text.size() + filler.size() < kBufferSize - tail.size())
            text += filler;
        text.append(kBufferSize - tail.size() - text.size(), ' ');
        text += tail;
        std::copy(text.begin(), text.end(), buffer.get());
        const std::string_view body(buffer.get(), kBufferSize);
        for (Scope scope : {Scope::Page, Scope::Domain, Scope::All}) {
            Scan(body, scope);
            EXPECT_EQ(sink.files, tail.back() == '"' ? Urls{Dir("pics/z.jpg")} : Urls{});
        }
        RecordingSink scriptSink;
        ScanScript(settings, scriptSink, page, record, 0);
        EXPECT_TRUE(scriptSink.pages.empty());
    }
}

}  // namespace
}  // namespace wg
