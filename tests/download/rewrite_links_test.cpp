#include "download/rewrite_links.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wg {
namespace {

PageLocation Page(std::string host, unsigned depth, std::string path = "",
                  std::string name = "p.html") {
    PageLocation page;
    page.host = std::move(host);
    page.depth = depth;
    page.path = std::move(path);
    page.name = std::move(name);
    page.topLevel = page.path.empty() && page.name.find('/') == std::string::npos;
    return page;
}

RewriteOptions Mode(int structure, bool escape = false) {
    RewriteOptions o;
    o.dirStructure = structure;
    o.urlEscapeFilenames = escape;
    return o;
}

struct Case {
    const char* in;
    const char* out;
};

// The mirrored layout; the page is http://www.example.com/d/p.html, saved as
// www_example_com/d/p.html.
const Case kMirrorCases[] = {
    // Relative, root-relative and absolute links into the site.
    {R"(<a href="/about.html">)", R"(<a href="../about.html">)"},
    {R"(<a href=/about.html>)", R"(<a href=../about.html>)"},
    {R"(<img src="/img/x.gif">)", R"(<img src="../img/x.gif">)"},
    {R"(<form action = "/go/">)", R"(<form action = "../go/index.html">)"},
    {R"(@import "/s.css";)", R"(@import "../s.css";)"},
    {R"(<a href="../q.html#top"><a href="./r.html">)",
     R"(<a href="../q.html#top"><a href="r.html">)"},
    {R"(<a href="http://www.example.com/a.html">)", R"(<a href="../a.html">)"},
    {R"(<a href="https://img.EXAMPLE.com/a.html">)", R"(<a href="../../img_EXAMPLE_com/a.html">)"},
    {R"(<a href="http://www.example.com:8080/">)", R"(<a href="../index.html">)"},
    // Sources on any host are fetched; links to pages of other hosts are not.
    {R"(<script src="http://cdn.example.org/x.js">)",
     R"(<script src="../../cdn_example_org/x.js">)"},
    {R"(<a href="http://www.other.example/a.html">)",
     R"(<a href="http://www.other.example/a.html">)"},
    {R"(<a href='//cdn.other.example/y.html'>)", R"(<a href='http://cdn.other.example/y.html'>)"},
    // CSS, srcset, escapes, references, queries; what is no address stays.
    {R"(url( /i/bg.png) url("i/c.png"))", R"(url( ../i/bg.png) url("i/c.png"))"},
    {R"(<img srcset="a.jpg 1x, /b.jpg 2x,c.png">)",
     R"(<img srcset="a.jpg 1x, ../b.jpg 2x,c.png">)"},
    {R"(<img src="a%20b.jpg" alt="a%20b">)", R"(<img src="a%2520b.jpg" alt="a%20b">)"},
    {R"(<a href="view.php?id=27&amp;p=3">)", R"(<a href="view.php_id_27-p_3.html">)"},
    {R"(<link href="f.css?"><img src="f.eot?#iefix">)",
     R"(<link href="f.css"><img src="f.eot#iefix">)"},
    {R"(<a href="mailto:a@b.c"><a href="#x"><img data-src="/x.png">)",
     R"(<a href="mailto:a@b.c"><a href="#x"><img data-src="/x.png">)"},
};

TEST(RewriteLinks, MirrorLayoutTargets) {
    for (const Case& c : kMirrorCases) {
        EXPECT_EQ(RewritePage(c.in, Mode(0), Page("www.example.com", 1, "d")), c.out) << c.in;
    }
}

TEST(RewriteLinks, LinksToWhatTheCrawlDoesNotSaveLeadToTheSite) {
    RewriteOptions options = Mode(0);
    options.willSave = [](std::string_view url, bool) { return !url.ends_with(".pdf"); };
    const PageLocation page = Page("www.example.com", 1, "d");
    EXPECT_EQ(RewritePage(R"(<a href="doc.pdf#p2"><a href="/x.html">)", options, page),
              R"(<a href="http://www.example.com/d/doc.pdf#p2"><a href="../x.html">)");
    options.willSave = [](std::string_view, bool) { return false; };
    EXPECT_EQ(
        RewritePage(R"(<a href="v.php?a=1&amp;b=2"><a href="http://x.example.com/">)", options,
                    page),
        R"(<a href="http://www.example.com/d/v.php?a=1&amp;b=2"><a href="http://x.example.com/">)");
}

TEST(RewriteLinks, TopPagesAndPagesLeftAlone) {
    EXPECT_EQ(RewritePage(R"(<a href="../../x.html">)", Mode(0), Page("www.example.com", 0)),
              R"(<a href="x.html">)");
    const std::string page = R"(<a href="/a%20b.html"><img src="http://x.y.com/i.gif">)";
    RewriteOptions asIs;
    asIs.downloadAsIs = true;
    EXPECT_EQ(RewritePage(page, asIs, Page("www.y.com", 1, "d")), page);
    EXPECT_EQ(RewritePage(page, Mode(0), Page("localhost", 1, "d")), page);
    EXPECT_EQ(RewritePage(page, Mode(2), Page("localhost", 1, "d")), page);
}

TEST(RewriteLinks, SiteDomain) {
    EXPECT_EQ(SiteDomainOf("www.Example.com"), "example.com");
    EXPECT_EQ(SiteDomainOf("a.b.example.com"), "example.com");
    EXPECT_EQ(SiteDomainOf("example.com"), "example.com");
    EXPECT_EQ(SiteDomainOf("localhost"), "");
}

const Case kSiteDirCases[] = {
    // Page http://www.example.com/a/b/p.html, saved as www_example_com/a_b_p.html.
    {R"(<a href="q.html">)", R"(<a href="a_b_q.html">)"},
    {R"(<a href="../q.html#top">)", R"(<a href="a_q.html#top">)"},
    {R"(<a href='/'>)", R"(<a href='index.html'>)"},
    {R"(<a href=/docs/x.html>)", R"(<a href=docs_x.html>)"},
    {R"(<a href="http://www.example.com/c/d.html">)", R"(<a href="c_d.html">)"},
    {R"(<a href="https://img.example.com/c/d.png">)", R"(<a href="../img_example_com/c_d.png">)"},
    {R"(<img src="http://cdn.other.example/x.js">)", R"(<img src="../cdn_other_example/x.js">)"},
    {R"(<a href="http://cdn.other.example/x.html">)",
     R"(<a href="http://cdn.other.example/x.html">)"},
    {R"(<a href="view.php?id=3">)", R"(<a href="a_b_view.php_id_3.html">)"},
    {R"(<a href="a%20b.html">)", R"(<a href="a_b_a%2520b.html">)"},
    {R"(body{background:url(../i/bg.png)})", R"(body{background:url(a_i_bg.png)})"},
};

TEST(RewriteLinks, SiteDirectoryLayoutTargets) {
    for (const Case& c : kSiteDirCases) {
        EXPECT_EQ(RewritePage(c.in, Mode(1), Page("www.example.com", 2, "a/b")), c.out) << c.in;
    }
    // URL-encoded names: '%' is written as "%25" so that the browser finds the file.
    EXPECT_EQ(RewritePage(R"(<a href="q.html">)", Mode(1, true), Page("www.example.com", 1, "a")),
              R"(<a href="www.example.com%252Fa%252Fq.html">)");
}

TEST(RewriteLinks, FlatLayoutTargets) {
    const PageLocation page = Page("www.example.com", 2, "a/b");
    EXPECT_EQ(RewritePage(R"(<a href="q.html">)", Mode(2), page),
              R"(<a href="www.example.com_a_b_q.html">)");
    EXPECT_EQ(RewritePage(R"(<a href="/">)", Mode(2), page), R"(<a href="www.example.com_">)");
    EXPECT_EQ(RewritePage(R"(<img src="//img.example.com/x/y.png">)", Mode(2), page),
              R"(<img src="img.example.com_x_y.png">)");
    EXPECT_EQ(RewritePage(R"(<a href="q.html">)", Mode(2, true), page),
              R"(<a href="www.example.com%252Fa%252Fb%252Fq.html">)");

    // A page from a port other than the default: the flat names keep the
    // port, and a name with a colon is marked as a path.
    PageLocation ported = page;
    ported.hostAsWritten = "www.example.com:8080";
    EXPECT_EQ(
        RewritePage(R"(<a href="q.html"><img src="http://www.example.com:8080/p.png">)", Mode(2),
                    ported),
        R"(<a href="./www.example.com:8080_a_b_q.html"><img src="./www.example.com:8080_p.png">)");
    // "@import url(...)" is the url( value's, in both layouts.
    EXPECT_EQ(RewritePage(R"(<style>@import url("/css/p.css") print;</style>)", Mode(1), ported),
              R"(<style>@import url("css_p.css") print;</style>)");
    EXPECT_EQ(RewritePage(R"(@import 'p.css';)", Mode(2), ported),
              R"(@import './www.example.com:8080_a_b_p.css';)");
}

// Every page above, cut once at every byte: the pieces give the whole result.
TEST(RewriteLinks, PiecesAddUpToTheWholePage) {
    struct Setup {
        RewriteOptions options;
        PageLocation page;
    };
    std::vector<Setup> setups;
    for (unsigned depth : {0u, 1u, 3u}) {
        PageLocation page = Page("www.example.com", depth, depth ? "a/b" : "");
        page.topLevel = depth == 0;
        for (int mode : {0, 1, 2}) {
            setups.push_back({Mode(mode), page});
        }
    }
    std::vector<std::string> pages;
    for (const Case& c : kMirrorCases) {
        pages.emplace_back(c.in);
    }
    for (const Case& c : kSiteDirCases) {
        pages.emplace_back(c.in);
    }
    std::string all;
    for (const std::string& p : pages) {
        all += p + "\n";
    }
    pages.push_back(all);
    for (const Setup& s : setups) {
        for (const std::string& text : pages) {
            const std::string whole = RewritePage(text, s.options, s.page);
            for (std::size_t cut = 0; cut <= text.size(); ++cut) {
                PageRewriter rewriter(s.options, s.page);
                std::string out;
                rewriter.Chunk(std::string_view(text).substr(0, cut), out);
                rewriter.Chunk(std::string_view(text).substr(cut), out);
                rewriter.Finish(out);
                ASSERT_EQ(out, whole) << text << " cut at " << cut << " mode "
                                      << s.options.dirStructure << " depth " << s.page.depth;
            }
        }
    }
}

TEST(RewriteLinks, HoldsBackOnlyAnUnfinishedTail) {
    PageRewriter rewriter(Mode(0), Page("www.example.com", 1, "d"));
    std::string out;
    const std::string body(5000, 'x');
    rewriter.Chunk(body + "<a href=\"/a", out);
    EXPECT_GE(out.size(), 4800u);  // the plain text is handed on at once
    EXPECT_LT(rewriter.Held(), 300u);
    rewriter.Chunk("b.html\">", out);
    rewriter.Finish(out);
    EXPECT_EQ(out, body + "<a href=\"../ab.html\">");
    EXPECT_EQ(rewriter.Held(), 0u);
}

}  // namespace
}  // namespace wg
