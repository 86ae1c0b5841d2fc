#include "download/dynamic_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/test_dirs.h"

namespace wg {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::RunProgram;
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

TEST_F(DynamicPages, ScriptTemplatesAreFilledIn) {
    struct Case {
        int type;
        std::string_view start;
        std::string_view end;
    };
    // An unknown type gets the ASP script.
    for (const bool single : {false, true}) {
        for (const Case& c :
             {Case{kRedirectPhp, "<?php\n$main = 'id';", "Not Found.';\n}\n"},
              Case{kRedirectAsp, "<%\nDim", "Not Found.\"\nEnd If\n%>"},
              Case{kRedirectJsp, "<%@ page import=", "}\n}\n%>"}, Case{9, "<%\nDim", "%>"}}) {
            const std::string text =
                RedirectScriptText(c.type, single, "id", "view.php_id", "html");
            EXPECT_TRUE(text.starts_with(c.start)) << text;
            EXPECT_TRUE(text.ends_with(c.end)) << text;
            EXPECT_NE(text.find("view.php_id_n0n3.html"), std::string::npos) << text;
            EXPECT_NE(text.find("view.php_id_"), text.rfind("view.php_id_")) << text;
            EXPECT_EQ(text.find("%s"), std::string::npos) << text;
            EXPECT_EQ(text.find("%%"), std::string::npos) << text;
        }
    }
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
         "www_example_com/forum/view.php_id_3-p_2.html", "www_example_com/forum/view.php",
         "$main = 'id';"},
        {"www_example_com/f2/view.php?id=3&p=2", true, 1, "www_example_com/f2/view.php_id_3.html",
         "www_example_com/f2/view.php", "$name = 'view.php_id_' . $_GET[$main] . '.html';"},
        {"www_example_com/page.asp?print", false, 1, "www_example_com/page.asp_print.html",
         "www_example_com/page.asp", "\"page.asp_redir_\" & name & \".html\""},
        {"www_example_com/show.cfm?id=1", true, 0, "www_example_com/show.cfm_id_1.html",
         "www_example_com/show.cfm", "$name = 'show.cfm_id_n0n3.html';"},
        {"www_example_com/a.jsp?x=1", true, 1, "www_example_com/a.jsp_x_1.html",
         "www_example_com/a.jsp", "request.getParameter(\"x\")"},
        {"www_example_com/forum/list?id=3", false, 1, "www_example_com/forum/list_id_3.html",
         "www_example_com/forum/list.php", "'list.php_id_n0n3.html'"},
        {"www_example_com/forum/?page=2", true, 1, "www_example_com/forum/_page_2.html",
         "www_example_com/forum/index.php", "'index.php_page_'"},
        {"www.example.com_view.php?id=1", true, 1, "www.example.com_view.php_id_1.html",
         "www.example.com_view.php", "'www.example.com_view.php_id_'"},
        // A file that is no page keeps the extension a browser reads it by.
        {"www_example_com/css/site.css?v=3", false, 1, "www_example_com/css/site.css_v_3.css",
         "www_example_com/css/site.css", ".css\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StoredQueryPageName(c.name, {c.single, c.defaultType}), c.stored);
        std::string name = c.name;
        ASSERT_TRUE(Make(name, {c.single, c.defaultType})) << c.name;
        EXPECT_EQ(name, c.stored) << c.name;
        EXPECT_NE(ReadWholeFile(c.script).find(c.scriptHas), std::string::npos) << c.name;
    }
    EXPECT_EQ(records_.size(), cases.size());
    EXPECT_EQ(records_.front(),
              (std::pair<std::string, std::string>("www_example_com/forum/view.php", "id")));

    // A Flash movie is left alone and gets no script; its caller cuts it.
    std::string movie = "www_example_com/movie.SWF?x=1";
    EXPECT_EQ(StoredQueryPageName(movie, {}), "www_example_com/movie.SWF");
    EXPECT_EQ(StoredQueryPageName("site/plain.html", {}), "site/plain.html");
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
    EXPECT_EQ(second, "www_example_com/view.php_id_4-p_5-x.html");
    EXPECT_EQ(ReadWholeFile("www_example_com/view.php"), "<? edited by hand ?>");
    EXPECT_EQ(records_.size(), 1u);

    // Without the remembered parameter the query stays as it came.
    std::string third = "www_example_com/view.php?p=6";
    ASSERT_TRUE(Make(third));
    EXPECT_EQ(third, "www_example_com/view.php_p_6.html");
}

TEST_F(DynamicPages, KeepsEarlierPagesAsNoneCopies) {
    // A page saved at the script's name is kept before the script replaces it.
    WriteWholeFile("www_example_com/view.php", "<html>old page</html>");
    std::string name = "www_example_com/view.php?id=3";
    ASSERT_TRUE(Make(name));
    EXPECT_EQ(ReadWholeFile("www_example_com/view.php_id_n0n3.html"), "<html>old page</html>");
    EXPECT_EQ(ReadWholeFile("www_example_com/view.php").rfind("<?php\n", 0), 0u);

    // A new script in a new directory: the site's index.html is its page
    // without parameters, and the directories are made for both files.
    WriteWholeFile("www_example_com/index.html", "<html>home</html>");
    std::string deep = "www_example_com/new/dir/go.asp?q=1";
    ASSERT_TRUE(Make(deep));
    EXPECT_EQ(ReadWholeFile("www_example_com/new/dir/go.asp_q_n0n3.html"), "<html>home</html>");
    EXPECT_EQ(ReadWholeFile("www_example_com/new/dir/go.asp").rfind("<%\n", 0), 0u);
    // A second page that finds the script missing as well (another worker's
    // page, saved at the same moment) leaves the copy and logs nothing.
    fs::remove("www_example_com/new/dir/go.asp");
    std::string twin = "www_example_com/new/dir/go.asp?q=2";
    ASSERT_TRUE(Make(twin));
    EXPECT_TRUE(fs::is_regular_file("www_example_com/new/dir/go.asp"));

    // Without an index.html the script still gets its new directory.
    std::string bare = "other_site/a/b/c.php?k=v";
    ASSERT_TRUE(Make(bare));
    EXPECT_TRUE(fs::is_regular_file("other_site/a/b/c.php"));
    EXPECT_FALSE(fs::exists("other_site/a/b/c.php_k_n0n3.html"));
    EXPECT_TRUE(errors_.empty());

    // A page whose copy cannot be made is not replaced.
    WriteWholeFile("site/view.php", "<html>only copy</html>");
    fs::create_directories("site/view.php_id_n0n3.html");
    std::string blocked = "site/view.php?id=1";
    ASSERT_TRUE(Make(blocked));
    EXPECT_EQ(blocked, "site/view.php_id_1.html");
    EXPECT_EQ(ReadWholeFile("site/view.php"), "<html>only copy</html>");
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find(" - CopyFile failed"), std::string::npos) << errors_[0];
}

TEST_F(DynamicPages, AnIndexSavedAfterTheScriptGivesItsCopy) {
    // The query page came before the site's start page was on disk.
    std::string early = "late_site/list/view.php?id=2";
    ASSERT_TRUE(Make(early));
    EXPECT_FALSE(fs::exists("late_site/list/view.php_id_n0n3.html"));
    RedirectFileList list(mutex_, records_);
    const auto saved = [&](std::string_view name) {
        CopyIndexForScripts(name, list, [&](std::string_view e) { errors_.emplace_back(e); });
    };
    saved("late_site/list/index.html");  // not the site's own index.html
    saved("other/index.html");
    EXPECT_FALSE(fs::exists("late_site/list/view.php_id_n0n3.html"));
    WriteWholeFile("late_site/index.html", "<html>start</html>");
    saved("late_site/index.html");
    EXPECT_EQ(ReadWholeFile("late_site/list/view.php_id_n0n3.html"), "<html>start</html>");
    // Saved again, the start page leaves the copy as it is.
    WriteWholeFile("late_site/index.html", "<html>changed</html>");
    saved("late_site/index.html");
    EXPECT_EQ(ReadWholeFile("late_site/list/view.php_id_n0n3.html"), "<html>start</html>");
    EXPECT_TRUE(errors_.empty());
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
    EXPECT_EQ(quoted, "www_example_com/x.php_a'.system('id').'_1.html");
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
        std::string earlier;  // the name earlier versions gave the page
    };
    const std::vector<Case> cases = {
        {"site/view.php?id=3&p=2", false, "site/view.php_id_3-p_2.html",
         "site/view.php_id_3-p_2.php"},
        {"site/view.php?id=3&p=2", true, "site/view.php_id_3.html", "site/view.php_id_3.php"},
        {"site/page.phtml?x=1", false, "site/page.phtml_x_1.html",
         "site/page.phtml_x_1.php"},  // four letters at most
        {"site/list?x=1", false, "site/list_x_1.html", "site/list_x_1.php"},
        {"site/a.JSP?x=1", false, "site/a.JSP_x_1.html", "site/a.JSP_x_1.JSP"},
    };
    for (const Case& c : cases) {
        std::string path = c.path;
        EXPECT_FALSE(DynamicPageExists(path, {c.single, 1})) << c.path;
        EXPECT_EQ(path, c.renamed);
        // A page of an earlier run is found under its name; this run's name
        // is looked for first.
        for (const std::string& saved : {c.earlier, c.renamed}) {
            WriteWholeFile(saved, "x");
            path = c.path;
            EXPECT_TRUE(DynamicPageExists(path, {c.single, 1})) << c.path;
            EXPECT_EQ(path, saved);
        }
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

// The PHP scripts in the php command-line interpreter (php-cli, which
// scripts/setup.sh installs), on the pages MakeDynamicPage stored: a query
// gets its stored page byte for byte, the "_n0n3" page without the main
// parameter, or the not-found text; a value climbing out of the script's
// directory reads nothing there.
TEST_F(DynamicPages, PhpScriptsServeTheStoredPages) {
    WriteWholeFile("www_example_com/index.html", "<html>home</html>");
    WriteWholeFile("secret.html", "secret");  // what "_/../../secret" would reach
    fs::create_directories("www_example_com/view.php_id_");
    fs::create_directories("www_example_com/one.php_k_");
    struct Case {
        bool single;
        std::string script;  // below www_example_com/
        std::string query;
        std::string answer;  // empty: the page is stored first and is the answer
    };
    const std::vector<Case> cases = {
        {false, "view.php", "id=3&p=2", ""},
        {false, "view.php", "id=3", ""},
        {false, "view.php", "p=5&x&id=4", ""},  // main parameter last, an empty value
        {false, "view.php", "id=a/b", ""},      // a page in a directory below the script
        {false, "view.php", "p=2", "<html>home</html>"},
        {false, "view.php", "id=7", "File view.php_id_7.html Not Found."},
        {false, "view.php", "id=/../../secret", "File view.php_id_/../../secret.html Not Found."},
        {true, "one.php", "k=1&z=2", ""},
        {true, "one.php", "z=2", "<html>home</html>"},
        {true, "one.php", "k=/../../secret", "File one.php_k_/../../secret.html Not Found."},
    };
    for (const Case& c : cases) {
        const std::string script = "www_example_com/" + c.script;
        std::string answer = c.answer;
        if (answer.empty()) {
            std::string name = script + "?" + c.query;
            ASSERT_TRUE(Make(name, {c.single, kRedirectPhp})) << name;
            answer = std::string("<p>\0\xff ", 6) + c.query;
            WriteWholeFile(name, answer);
        }
        std::string out;
        const int status =
            RunProgram("/usr/bin/env",
                       {"php", "-n", "-d", "short_open_tag=0", "-d", "display_errors=1", "-d",
                        "error_reporting=-1", "-r", "parse_str($argv[1], $_GET); include $argv[2];",
                        "--", c.query, fs::absolute(script).string()},
                       &out);
        ASSERT_EQ(status, 0) << out << "\n(php-cli missing? scripts/setup.sh installs it)";
        EXPECT_EQ(out, answer) << c.script << "?" << c.query;
    }
}

}  // namespace
}  // namespace wg
