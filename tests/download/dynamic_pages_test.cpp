#include "download/dynamic_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "support/test_dirs.h"

namespace wg {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::WriteWholeFile;

// A download directory "dl" inside a temporary directory, as the current
// directory; anything that appears beside "dl" escaped it.
class DynamicPages : public ::testing::Test {
protected:
    DynamicPages() {
        fs::create_directories(downloads_);
        fs::current_path(downloads_);
    }

    bool Make(std::string& name, DynamicPageOptions options = {}) {
        RedirectFileList list(mutex_, records_);
        return MakeDynamicPage(
            name, name.find('?'), options, list,
            [this](std::string_view text) { errors_.emplace_back(text); },
            [this](std::string_view text) { debug_.emplace_back(text); });
    }

    std::vector<std::string> OutsideDownloads() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(temp_.path())) {
            if (entry.path().filename() != "dl") {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    test::CurrentDirGuard cwd_;
    test::TempDir temp_;
    fs::path downloads_ = temp_ / "dl";
    std::mutex mutex_;
    RedirectFileRecords records_;
    std::vector<std::string> errors_;
    std::vector<std::string> debug_;
};

TEST_F(DynamicPages, ScriptTemplatesHaveTheirLengths) {
    // The template lengths less two for each "%s" and one for each "%%".
    struct Case {
        int type;
        bool single;
        std::size_t length;
        std::string_view start;
    };
    for (const Case& c : {Case{kRedirectPhp, false, 545, "<? \n error_reporting"},
                          Case{kRedirectAsp, false, 870, "<%\nSUB ReadDisplayFile"},
                          Case{kRedirectJsp, false, 672, "<%@ page import=\"java.util.*\"%>"},
                          Case{kRedirectPhp, true, 186, "<? \n error_reporting"},
                          Case{kRedirectAsp, true, 469, "<%\nSUB ReadDisplayFile"},
                          Case{kRedirectJsp, true, 204, "<%\n String szPageName;"},
                          Case{9, true, 469, "<%\nSUB"}}) {
        const std::string text = RedirectScriptText(c.type, c.single, "", "", "");
        EXPECT_EQ(text.size(), c.length) << c.type << c.single;
        EXPECT_EQ(text.rfind(c.start, 0), 0u) << text;
    }
    EXPECT_EQ(RedirectScriptText(kRedirectPhp, true, "id", "view.php_id", "php"),
              "<? \n error_reporting(E_ALL ^ E_NOTICE);\n$szPageName = $_GET['id'];\n"
              " if ( $szPageName == null )\n $szPageName = \"view.php_id_n0n3.php\";\n"
              " else\n$szPageName = \"view.php_id_\".$szPageName.\".php\";\n"
              " readfile ($szPageName); ?>");
}

TEST_F(DynamicPages, NamesQueryPagesAndWritesTheirScripts) {
    struct Case {
        std::string name;
        bool single;
        int defaultType;
        std::string stored;
        std::string script;
        std::string scriptHas;  // a piece of the script text
    };
    const std::vector<Case> cases = {
        {"www_example_com/forum/view.php?id=3&p=2", false, 1,
         "www_example_com/forum/view.php_id_3-p_2.php", "www_example_com/forum/view.php",
         "$mainparam = 'id';"},
        {"www_example_com/f2/view.php?id=3&p=2", true, 1, "www_example_com/f2/view.php_id_3.php",
         "www_example_com/f2/view.php", "$szPageName = \"view.php_id_\".$szPageName.\".php\";"},
        {"www_example_com/page.asp?print", false, 1, "www_example_com/page.asp_print.asp",
         "www_example_com/page.asp", " mainparam= \"redir\"\n"},
        {"www_example_com/show.cfm?id=1", true, 0, "www_example_com/show.cfm_id_1.cfm",
         "www_example_com/show.cfm", "$_GET['id']"},
        {"www_example_com/a.jsp?x=1", true, 1, "www_example_com/a.jsp_x_1.jsp",
         "www_example_com/a.jsp", "request.getParameter(\"x\")"},
        {"www_example_com/forum/list?id=3", false, 1, "www_example_com/forum/list_id_3.php",
         "www_example_com/forum/list.php", "\"list.php_id_n0n3.php\""},
        {"www_example_com/forum/?page=2", true, 1, "www_example_com/forum/_page_2.php",
         "www_example_com/forum/index.php", "\"index.php_page_\""},
        {"www.example.com_view.php?id=1", true, 1, "www.example.com_view.php_id_1.php",
         "www.example.com_view.php", "\"www.example.com_view.php_id_\""},
    };
    for (const Case& c : cases) {
        std::string name = c.name;
        ASSERT_TRUE(Make(name, {c.single, c.defaultType})) << c.name;
        EXPECT_EQ(name, c.stored) << c.name;
        EXPECT_NE(ReadWholeFile(c.script).find(c.scriptHas), std::string::npos) << c.name;
    }
    EXPECT_EQ(records_.size(), cases.size());
    EXPECT_EQ(records_.front(),
              (std::pair<std::string, std::string>("www_example_com/forum/view.php", "id")));

    // A Flash movie is left alone and gets no script.
    std::string movie = "www_example_com/movie.SWF?x=1";
    EXPECT_FALSE(Make(movie));
    EXPECT_EQ(movie, "www_example_com/movie.SWF?x=1");
    EXPECT_FALSE(fs::exists("www_example_com/movie.SWF"));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(DynamicPages, LaterPagesKeepScriptAndPutItsParameterFirst) {
    std::string first = "www_example_com/view.php?id=3&p=2";
    ASSERT_TRUE(Make(first));
    WriteWholeFile("www_example_com/view.php", "<? edited by hand ?>");

    std::string second = "www_example_com/view.php?p=5&x&ID=4";
    ASSERT_TRUE(Make(second));
    EXPECT_EQ(second, "www_example_com/view.php_id_4-p_5-x.php");
    EXPECT_EQ(ReadWholeFile("www_example_com/view.php"), "<? edited by hand ?>");
    EXPECT_EQ(records_.size(), 1u);

    // Without the remembered parameter the query stays as it came.
    std::string third = "www_example_com/view.php?p=6";
    ASSERT_TRUE(Make(third));
    EXPECT_EQ(third, "www_example_com/view.php_p_6.php");
}

TEST_F(DynamicPages, KeepsEarlierPagesAsNoneCopies) {
    // A page saved at the script's name is kept before the script replaces it.
    WriteWholeFile("www_example_com/view.php", "<html>old page</html>");
    std::string name = "www_example_com/view.php?id=3";
    ASSERT_TRUE(Make(name));
    EXPECT_EQ(ReadWholeFile("www_example_com/view.php_id_n0n3.php"), "<html>old page</html>");
    EXPECT_EQ(ReadWholeFile("www_example_com/view.php").rfind("<? \n", 0), 0u);

    // A new script in a new directory: the site's index.html is its page
    // without parameters, and the directories are made for both files.
    WriteWholeFile("www_example_com/index.html", "<html>home</html>");
    std::string deep = "www_example_com/new/dir/go.asp?q=1";
    ASSERT_TRUE(Make(deep));
    EXPECT_EQ(ReadWholeFile("www_example_com/new/dir/go.asp_q_n0n3.asp"), "<html>home</html>");
    EXPECT_EQ(ReadWholeFile("www_example_com/new/dir/go.asp").rfind("<%\n", 0), 0u);

    // Without an index.html the script still gets its new directory.
    std::string bare = "other_site/a/b/c.php?k=v";
    ASSERT_TRUE(Make(bare));
    EXPECT_TRUE(fs::is_regular_file("other_site/a/b/c.php"));
    EXPECT_FALSE(fs::exists("other_site/a/b/c.php_k_n0n3.php"));
    EXPECT_TRUE(errors_.empty());

    // A page whose copy cannot be made is not replaced.
    WriteWholeFile("site/view.php", "<html>only copy</html>");
    fs::create_directories("site/view.php_id_n0n3.php");
    std::string blocked = "site/view.php?id=1";
    ASSERT_TRUE(Make(blocked));
    EXPECT_EQ(blocked, "site/view.php_id_1.php");
    EXPECT_EQ(ReadWholeFile("site/view.php"), "<html>only copy</html>");
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find(" - CopyFile failed"), std::string::npos) << errors_[0];
}

TEST_F(DynamicPages, HostileNamesStayInside) {
    const std::string outside = (temp_.path() / "abs.php").string();
    for (std::string name : {std::string("../../evil.php?id=1"), std::string("../x/y.php?a=b"),
                             std::string("a/../../up.php?a=1"), std::string("..\\..\\w.jsp?z=1"),
                             outside + "?id=1", std::string("?id=1"), std::string("..?id=1")}) {
        const std::string given = name;
        EXPECT_TRUE(Make(name)) << given;
        EXPECT_EQ(name.find_first_of("?=&"), std::string::npos) << given;
        EXPECT_TRUE(OutsideDownloads().empty()) << given;
    }
    EXPECT_FALSE(fs::exists(outside));

    // Names that would break out of a script's string literals get no script.
    debug_.clear();
    std::string quoted = "www_example_com/x.php?a'.system('id').'=1";
    ASSERT_TRUE(Make(quoted));
    EXPECT_EQ(quoted, "www_example_com/x.php_a'.system('id').'_1.php");
    EXPECT_FALSE(fs::exists("www_example_com/x.php"));
    std::string dollar = "www_example_com/{$x}.php?a=1";
    ASSERT_TRUE(Make(dollar));
    EXPECT_FALSE(fs::exists("www_example_com/{$x}.php"));
    EXPECT_EQ(debug_.size(), 2u);
}

TEST_F(DynamicPages, FindsStoredPages) {
    struct Case {
        std::string path;
        bool single;
        std::string renamed;
    };
    const std::vector<Case> cases = {
        {"site/view.php?id=3&p=2", false, "site/view.php_id_3-p_2.php"},
        {"site/view.php?id=3&p=2", true, "site/view.php_id_3.php"},
        {"site/page.phtml?x=1", false, "site/page.phtml_x_1.php"},  // four letters at most
        {"site/list?x=1", false, "site/list_x_1.php"},
    };
    for (const Case& c : cases) {
        std::string path = c.path;
        EXPECT_FALSE(DynamicPageExists(path, {c.single, 1})) << c.path;
        EXPECT_EQ(path, c.renamed);
        WriteWholeFile(c.renamed, "x");
        path = c.path;
        EXPECT_TRUE(DynamicPageExists(path, {c.single, 1})) << c.path;
    }
    // What MakeDynamicPage stored is found again.
    std::string made = "site/a/view.php?id=9&p=1";
    ASSERT_TRUE(Make(made));
    WriteWholeFile(made, "page");
    std::string path = "site/a/view.php?id=9&p=1";
    EXPECT_TRUE(DynamicPageExists(path, {}));
    EXPECT_EQ(path, made);

    // A Flash movie is looked for under its own name.
    std::string movie = "site/m.swf?v=2";
    EXPECT_FALSE(DynamicPageExists(movie, {}));
    WriteWholeFile("site/m.swf", "FWS");
    EXPECT_TRUE(DynamicPageExists(movie, {}));
    EXPECT_EQ(movie, "site/m.swf?v=2");
}

}  // namespace
}  // namespace wg
