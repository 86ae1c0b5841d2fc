// What a saved stylesheet names, and references made absolute against it.
#include <gtest/gtest.h>

#include "download/stylesheets.h"

namespace wg::test {
namespace {

TEST(Stylesheets, FindsUrlsAndImportsInOrder) {
    const std::string css =
        "@import \"base.css\";\n@import url( 'print.css' ) print;\n"
        "body { background: URL(\"../img/bg.png\") no-repeat; }\n"
        "i { src: url(data:image/png;base64,AAAA) } b { x: url() } s { y: url(#clip) }\n"
        "@font-face { src: url(/fonts/a.woff2) format('woff2'), url(a b.ttf); }\n"
        ".t { background:url(/x.png?v=2)}";
    EXPECT_EQ(StylesheetLinks(css),
              (std::vector<std::string>{"base.css", "print.css", "../img/bg.png", "/fonts/a.woff2",
                                        "a b.ttf", "/x.png?v=2"}));
    EXPECT_TRUE(StylesheetLinks("a { color: red }").empty());
    EXPECT_EQ(StylesheetLinks("x{background:url(/cut.png"),
              std::vector<std::string>{"/cut.png"});  // cut at the end of the file
    EXPECT_TRUE(IsStylesheetUrl("http://h.example/s/Site.CSS?v=3"));
    EXPECT_FALSE(IsStylesheetUrl("http://h.example/s/site.css.html"));
}

TEST(Stylesheets, ResolvesReferencesAgainstTheStylesheet) {
    const std::string base = "http://h.example:8080/site/css/main.css?v=1";
    EXPECT_EQ(*ResolveReference(base, "../img/bg.png"), "http://h.example:8080/site/img/bg.png");
    EXPECT_EQ(*ResolveReference(base, "bg.png#x"), "http://h.example:8080/site/css/bg.png");
    EXPECT_EQ(*ResolveReference(base, "f.eot?#iefix"), "http://h.example:8080/site/css/f.eot");
    EXPECT_EQ(*ResolveReference(base, "/fonts/./a.woff"), "http://h.example:8080/fonts/a.woff");
    EXPECT_EQ(*ResolveReference(base, "../../../../x.png"), "http://h.example:8080/x.png");
    EXPECT_EQ(*ResolveReference(base, "//cdn.example/a.png"), "http://cdn.example/a.png");
    EXPECT_EQ(*ResolveReference(base, "HTTPS://o.example/b.png"), "HTTPS://o.example/b.png");
    EXPECT_EQ(*ResolveReference(base, "p.png?size=2"),
              "http://h.example:8080/site/css/p.png?size=2");
    EXPECT_EQ(*ResolveReference("http://h.example", "a.png"), "http://h.example/a.png");
    EXPECT_FALSE(ResolveReference(base, "ftp://h.example/a.png"));
    EXPECT_FALSE(ResolveReference("not a url", "a.png"));
}

}  // namespace
}  // namespace wg::test
