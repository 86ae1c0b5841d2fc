#include "download/dynamic_pages.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "download/save_paths.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "util/error_texts.h"
#include "util/log_file.h"
#include "util/pause.h"

namespace wg {
namespace {

// Script templates, filled in the order: main parameter, prefix, extension,
// prefix, extension ("%%" stands for one '%'). The first three take every
// parameter into the stored name, the last three only the main one.
constexpr std::string_view kPhpAll =
    "<? \n error_reporting(E_ALL ^ E_NOTICE);\n$mainparam = '%s';\n$mainvalue = "
    "$_GET[$mainparam];\n $szPageName = $mainvalue;\n if ( $szPageName == null )\n $szPageName = "
    "\"%s_n0n3.%s\";\n else {\n reset($HTTP_GET_VARS);\n while( list($key, $val) = "
    "each($HTTP_GET_VARS) )\n {\n if ( $val != $mainvalue || $key != $mainparam )\n { $szPageName "
    ".= '-'.$key;\n  if ( isset($val) && $val != '' )\n  $szPageName .= '_'.$val;\n}\n }\n "
    "$szPageName = \"%s_\".$szPageName.\".%s\"; }\n if (file_exists($szPageName)) {\n readfile "
    "($szPageName); }\n else\n echo \"File \".$szPageName.\" Not Found.\";\n?>";
constexpr std::string_view kAspAll =
    "<%%\nSUB ReadDisplayFile(FileToRead)\n  whichfile=server.mappath(FileToRead)\n  Set fs = "
    "CreateObject(\"Scripting.FileSystemObject\")\n If fs.FileExists(whichfile) Then\n  Set "
    "thisfile = fs.OpenTextFile(whichfile, 1, False)\n  tempSTR=thisfile.readall\n  response.write "
    "tempSTR\n  thisfile.Close\n  set thisfile=nothing\n else\n  response.write \"File \" & "
    "whichfile & \" Not found!\"\n  end if\n  set fs=nothing\nEND SUB\n mainparam= \"%s\"\n "
    "mainvalue = Request.QueryString( mainparam )\n szPageName = mainvalue\n if szPageName=\"\" "
    "then \n szPageName = \"%s_n0n3.%s\"\n else\n for each x in request.QueryString\n if "
    "request.QueryString(x) <> mainvalue or x <> mainparam then\n szPageName = szPageName & \"-\" "
    "& x\n if request.QueryString(x) <> \"\" then\n szPageName = szPageName & \"_\" & "
    "request.QueryString(x)\n\tend if \n end if\n next\n szPageName = \"%s_\" & szPageName & "
    "\".%s\"\n end if\n Call ReadDisplayFile(szPageName)\n%%>";
constexpr std::string_view kJspAll =
    "<%%@ page import=\"java.util.*\"%%>\n<%%\n String szPageName;\n szPageName = "
    "request.getParameter(\"%s\");\n if ( szPageName == null ) \n  szPageName = \"%s_n0n3.%s\";\n "
    "else { \n  Enumeration paramNames = request.getParameterNames();\n boolean firsttime = "
    "true;\n while(paramNames.hasMoreElements()) {\n String paramName = "
    "(String)paramNames.nextElement();\n String[] paramValues = "
    "request.getParameterValues(paramName);\n if ( firsttime == false )\n {\n  szPageName += \"-\" "
    "+ paramName;\nif ( paramValues[0] ) { szPageName += \"_\" + paramValues[0]; }\n }\n else\n "
    "{\n szPageName = paramValues[0];\n firsttime = false;\n }\n }\n }\n szPageName = \"%s_\" + "
    "szPageName + \".%s\";\n%%>\n<jsp:include page='<%%=szPageName %%>' />";
constexpr std::string_view kPhpOne =
    "<? \n error_reporting(E_ALL ^ E_NOTICE);\n$szPageName = $_GET['%s'];\n if ( $szPageName == "
    "null )\n $szPageName = \"%s_n0n3.%s\";\n else\n$szPageName = \"%s_\".$szPageName.\".%s\";\n "
    "readfile ($szPageName); ?>";
constexpr std::string_view kAspOne =
    "<%%\nSUB ReadDisplayFile(FileToRead)\n  whichfile=server.mappath(FileToRead)\n  Set fs = "
    "CreateObject(\"Scripting.FileSystemObject\")\n  Set thisfile = fs.OpenTextFile(whichfile, 1, "
    "False)\n  tempSTR=thisfile.readall\n  response.write tempSTR\n  thisfile.Close\n  set "
    "thisfile=nothing\n  set fs=nothing\nEND SUB\nszPageName=Request.QueryString(\"%s\")\n if "
    "szPageName=\"\" then \n szPageName = \"%s_n0n3.%s\"\n else \n szPageName = \"%s_\" & "
    "szPageName & \".%s\"\n end if\n Call ReadDisplayFile(szPageName)\n%%>";
constexpr std::string_view kJspOne =
    "<%%\n String szPageName;\n szPageName = request.getParameter(\"%s\");\n if ( szPageName == "
    "null ) \n  szPageName = \"%s_n0n3.%s\";\n else \n  szPageName = \"%s_\" + szPageName + "
    "\".%s\";\n%%>\n<jsp:include page='<%%=szPageName %%>' />";

constexpr std::array<std::string_view, 3> kAllParameterScripts = {kPhpAll, kAspAll, kJspAll};
constexpr std::array<std::string_view, 3> kOneParameterScripts = {kPhpOne, kAspOne, kJspOne};

constexpr std::size_t kMakeExtensionLimit = 6;    // extension letters MakeDynamicPage looks at
constexpr std::size_t kExistsExtensionLimit = 4;  // ... and DynamicPageExists
constexpr std::size_t kNameLimit = kLocalPathCapacity - 1;  // a name in a 1,040-byte buffer
constexpr std::size_t kStoredNameCut = 1034;  // a stored name that would not fit is cut here
constexpr std::size_t kCopyNameLimit = 259;   // the "_n0n3" copy of index.html: 260-byte buffer
constexpr int kSharingRetryMs = 300;
constexpr int kSharingRetryLimit = 20;  // then the script path counts as missing

struct Logs {
    const DynamicPageLog& error;
    const DynamicPageLog& debug;

    void Error(const std::string& text) const {
        if (error) {
            error(text);
        } else {
            ErrorLogFile().Write(text);
        }
    }
    void Debug(const std::string& text) const {
        if (debug && !text.empty()) {
            debug(text);
        }
    }
};

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

bool IsFlashMovie(std::string_view extension) {
    return EqualNoCase(extension, "swf");
}

// The text between the last '.' before the '?' and the '?': at most `limit`
// characters and never across a directory separator; "php" when there is none.
std::string PageExtension(std::string_view name, std::size_t queryPos, std::size_t limit) {
    for (std::size_t back = 1; back <= limit + 1 && back <= queryPos; ++back) {
        const char c = name[queryPos - back];
        if (c == '.') {
            return std::string(name.substr(queryPos - back + 1, back - 1));
        }
        if (IsSeparator(c)) {
            break;
        }
    }
    return "php";
}

int ScriptTypeFor(std::string_view extension, int defaultType) {
    const char first = LowerAscii(extension.empty() ? '\0' : extension.front());
    if (first == 'j') {
        return kRedirectJsp;
    }
    if (first == 'p') {
        return kRedirectPhp;
    }
    return (defaultType == kRedirectPhp || defaultType == kRedirectJsp) ? defaultType
                                                                        : kRedirectAsp;
}

// The name of the first query parameter: the text between the '?' and the
// first '='; "redir" for a query without '='.
std::string MainParameter(std::string_view name, std::size_t queryPos) {
    const std::size_t equals = name.find('=', queryPos + 1);
    if (equals == std::string_view::npos) {
        return "redir";
    }
    return std::string(name.substr(queryPos + 1, equals - queryPos - 1));
}

// The path of the script: the name before the '?', with ".<extension>" when it
// has no '.' at all ("index.<extension>" when it names a directory); the dots
// of its first directory become '_'.
std::string ScriptPath(std::string_view name, std::size_t queryPos, std::string_view extension) {
    std::string script(name.substr(0, queryPos));
    if (script.empty() || IsSeparator(script.back())) {
        script += "index.";
        script += extension;
    } else if (script.find('.') == std::string::npos) {
        script += '.';
        script += extension;
    }
    if (script.size() > kNameLimit) {
        script.resize(kNameLimit);
    }
    // A name without a directory (the flat layout) keeps its dots: its
    // pages are stored under the dotted name, which the script must find.
    const std::size_t end = script.find_first_of("/\\");
    if (end != std::string::npos) {
        std::replace(script.begin(), script.begin() + static_cast<std::ptrdiff_t>(end), '.', '_');
    }
    return script;
}

std::string_view LastComponent(std::string_view path) {
    const std::size_t last = path.find_last_of("/\\");
    return last == std::string_view::npos ? path : path.substr(last + 1);
}

// Name of the page with its query, then '.' and the extension, cut to fit a
// 1,040-byte buffer; '?' and '=' become '_', '&' becomes '-'.
std::string StoredName(std::string_view name, std::string_view extension) {
    std::string stored(name);
    if (stored.size() + 1 + extension.size() >= kLocalPathCapacity) {
        stored.resize(std::min(kStoredNameCut, kNameLimit - 1 - extension.size()));
    }
    stored += '.';
    stored += extension;
    for (char& c : stored) {
        if (c == '?' || c == '=') {
            c = '_';
        } else if (c == '&') {
            c = '-';
        }
    }
    return stored;
}

// Moves the parameter `parameter` (its name compared without regard to case,
// an '=' following) to the front of the query, spelled as given. False when
// the query does not hold it.
bool PutParameterFirst(std::string& name, std::size_t queryPos, std::string_view parameter) {
    const std::string_view query = std::string_view(name).substr(queryPos + 1);
    std::vector<std::string_view> items;
    for (std::size_t start = 0;;) {
        const std::size_t amp = query.find('&', start);
        items.push_back(query.substr(start, amp == std::string_view::npos ? amp : amp - start));
        if (amp == std::string_view::npos) {
            break;
        }
        start = amp + 1;
    }
    const auto found = std::find_if(items.begin(), items.end(), [&](std::string_view item) {
        return item.size() > parameter.size() && item[parameter.size()] == '=' &&
               EqualNoCase(item.substr(0, parameter.size()), parameter);
    });
    if (found == items.end()) {
        return false;
    }
    std::string rebuilt(name, 0, queryPos);
    rebuilt += '?';
    rebuilt += parameter;
    rebuilt += found->substr(parameter.size());
    for (auto item = items.begin(); item != items.end(); ++item) {
        if (item != found) {
            rebuilt += '&';
            rebuilt += *item;
        }
    }
    name = std::move(rebuilt);
    return true;
}

// A text that can stand inside the string literals of all three script
// languages without ending them or being interpolated.
bool FitsInScript(std::string_view text) {
    constexpr std::string_view kUnsafe = "'\"\\$%{}<>?`";
    return std::none_of(text.begin(), text.end(), [&](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f || kUnsafe.find(c) != std::string_view::npos;
    });
}

std::optional<std::string> Resolve(std::string_view path, const Logs& logs) {
    std::string why;
    std::optional<std::string> resolved = ResolveLocalPath(path, &why);
    if (!resolved) {
        logs.Debug(why);
    }
    return resolved;
}

bool LocalFileExists(std::string_view path) {
    const std::optional<std::string> resolved = ResolveLocalPath(path);
    return resolved && platform::FileExists(*resolved);
}

// Copies `from` to `to` without replacing anything there; when that fails the
// directories of `to` are created and the copy tried once more.
bool CopyWithoutOverwriting(std::string_view from, std::string_view to, const Logs& logs) {
    const std::optional<std::string> source = Resolve(from, logs);
    const std::optional<std::string> target = Resolve(to, logs);
    if (!source || !target) {
        return false;
    }
    int error = platform::CopyFile(*source, *target, false);
    if (error != 0) {
        CreateDirectoriesFor(to);
        error = platform::CopyFile(*source, *target, false);
    }
    if (error != 0) {
        logs.Error(SystemErrorMessage(error, "CopyFile failed"));
        return false;
    }
    return true;
}

enum class ScriptSpot { Missing, Script, Page };

// What stands at the script path: a script (its second byte is '%' or '?'),
// something else, or nothing that opens.
ScriptSpot LookAtScriptPath(std::string_view script) {
    platform::FilePtr file;
    for (int attempt = 0;; ++attempt) {
        platform::SetLastError(0);
        file = OpenFileSafe(script, "rb");
        if (file) {
            break;
        }
        const int error = platform::LastError();
        if ((error != EBUSY && error != ETXTBSY) || attempt >= kSharingRetryLimit) {
            return ScriptSpot::Missing;
        }
        PauseMs(kSharingRetryMs);
    }
    char head[2] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    return (got == 2 && (head[1] == '%' || head[1] == '?')) ? ScriptSpot::Script : ScriptSpot::Page;
}

// Writes the script, creating its directories when the first open fails.
void WriteScript(std::string_view script, std::string_view text, const Logs& logs) {
    std::string why;
    platform::FilePtr file = OpenFileSafe(script, "w", &why);
    if (!file && why.empty()) {
        CreateDirectoriesFor(script);
        file = OpenFileSafe(script, "w", &why);
    }
    if (!file) {
        logs.Debug(why);
        return;
    }
    (void)std::fwrite(text.data(), 1, text.size(), file.get());
}

// The "_n0n3" name for index.html, with the script path shortened so that
// the whole name fits a 260-byte buffer.
std::string IndexCopyName(std::string_view script, std::string_view suffix) {
    const std::size_t room = suffix.size() < kCopyNameLimit ? kCopyNameLimit - suffix.size() : 0;
    std::string name(script.substr(0, room));
    name += suffix;
    if (name.size() > kCopyNameLimit) {
        name.resize(kCopyNameLimit);
    }
    return name;
}

// Puts the script at `script` unless one is there: a page saved at that name
// is kept as the "_n0n3" page first; a new script takes a copy of its site's
// index.html as that page and is entered into the redirect-file list.
void PlaceScript(const std::string& script, const std::string& mainParameter,
                 const std::string& extension, std::string_view text, RedirectFileList& redirects,
                 const Logs& logs) {
    const std::string keptSuffix = "_" + mainParameter + "_n0n3." + extension;
    switch (LookAtScriptPath(script)) {
        case ScriptSpot::Script:
            return;
        case ScriptSpot::Page: {
            const std::string kept = script + keptSuffix;
            if (!CopyWithoutOverwriting(script, kept, logs) && !LocalFileExists(kept)) {
                return;  // the page has no copy: it stays instead of the script
            }
            WriteScript(script, text, logs);
            return;
        }
        case ScriptSpot::Missing: {
            const std::size_t separator = script.find_first_of("/\\");
            const std::string index =
                (separator == std::string::npos ? std::string() : script.substr(0, separator + 1)) +
                "index.html";
            if (LocalFileExists(index)) {
                (void)CopyWithoutOverwriting(index, IndexCopyName(script, keptSuffix), logs);
            }
            WriteScript(script, text, logs);
            redirects.Add(script, mainParameter);
            return;
        }
    }
}

}  // namespace

std::optional<std::string> RedirectFileList::Find(std::string_view script) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [path, parameter] : records_) {
        if (path == script) {
            return parameter;
        }
    }
    return std::nullopt;
}

bool RedirectFileList::Add(std::string_view script, std::string_view parameter) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& record : records_) {
        if (record.first == script) {
            return false;
        }
    }
    records_.emplace_back(std::string(script), std::string(parameter));
    return true;
}

std::string RedirectScriptText(int type, bool singleParameter, std::string_view mainParameter,
                               std::string_view prefix, std::string_view extension) {
    const auto index = static_cast<std::size_t>(
        (type == kRedirectPhp || type == kRedirectJsp) ? type : kRedirectAsp);
    const std::string_view pattern =
        singleParameter ? kOneParameterScripts[index] : kAllParameterScripts[index];
    const std::array<std::string_view, 5> values = {mainParameter, prefix, extension, prefix,
                                                    extension};
    std::string text;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                text += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 's' && next < values.size()) {
                text += values[next++];
                ++i;
                continue;
            }
        }
        text += pattern[i];
    }
    return text;
}

bool MakeDynamicPage(std::string& localName, std::size_t queryPos,
                     const DynamicPageOptions& options, RedirectFileList& redirects,
                     const DynamicPageLog& errorLog, const DynamicPageLog& debugLog) {
    if (queryPos >= localName.size() || localName[queryPos] != '?') {
        return false;
    }
    const Logs logs{errorLog, debugLog};
    const std::string extension = PageExtension(localName, queryPos, kMakeExtensionLimit);
    if (IsFlashMovie(extension)) {
        return false;  // a Flash movie is not a page
    }
    const int type = ScriptTypeFor(extension, options.defaultType);

    std::string mainParameter = MainParameter(localName, queryPos);
    if (options.singleRedirectParam) {
        const std::size_t equals = localName.find('=', queryPos + 1);
        const std::size_t amp =
            equals == std::string::npos ? std::string::npos : localName.find('&', equals);
        if (amp != std::string::npos) {
            localName.resize(amp);
        }
    }

    const std::string script = ScriptPath(localName, queryPos, extension);
    // A script already written names its main parameter; later pages put that
    // parameter first so that their stored names are the ones it builds.
    if (const std::optional<std::string> remembered = redirects.Find(script);
        remembered && *remembered != mainParameter &&
        PutParameterFirst(localName, queryPos, *remembered)) {
        mainParameter = *remembered;
    }

    std::string prefix(LastComponent(script));
    prefix += '_';
    prefix += mainParameter;
    if (FitsInScript(prefix) && FitsInScript(extension)) {
        const std::string text =
            RedirectScriptText(type, options.singleRedirectParam, mainParameter, prefix, extension);
        PlaceScript(script, mainParameter, extension, text, redirects, logs);
    } else {
        logs.Debug("Redirect script not written, name unsafe in a script: " + script);
    }

    localName = StoredName(localName, extension);
    return true;
}

bool DynamicPageExists(std::string& path, std::size_t queryPos, const DynamicPageOptions& options) {
    if (queryPos >= path.size() || path[queryPos] != '?') {
        return LocalFileExists(path);
    }
    const std::string extension = PageExtension(path, queryPos, kExistsExtensionLimit);
    if (options.singleRedirectParam) {
        const std::size_t amp = path.find('&', queryPos);
        if (amp != std::string::npos) {
            path.resize(amp);
        }
    }
    if (IsFlashMovie(extension)) {
        return LocalFileExists(std::string_view(path).substr(0, queryPos));
    }
    path = StoredName(path, extension);
    return LocalFileExists(path);
}

bool DynamicPageExists(std::string& path, const DynamicPageOptions& options) {
    return DynamicPageExists(path, path.find('?'), options);
}

}  // namespace wg
