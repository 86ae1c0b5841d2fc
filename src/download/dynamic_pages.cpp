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
#include "util/text.h"

namespace wg {
namespace {

// Script templates, filled in the order: main parameter, prefix, extension,
// prefix, extension ("%%" stands for one '%'). The first three take every
// parameter into the stored name, the last three only the main one. Each
// refuses a name with ".." or '\' in it, so that a query never makes it read
// outside its own directory, and answers "File <name> Not Found." when the
// page is not there.
constexpr std::string_view kPhpAll = R"(<?php
$main = '%s';
$name = null;
if (!isset($_GET[$main])) {
    $name = '%s_n0n3.%s';
} elseif (is_string($_GET[$main])) {
    $name = $_GET[$main];
    foreach ($_GET as $key => $value) {
        if ((string)$key === $main) {
            continue;
        }
        if (!is_string($value)) {
            $name = null;
            break;
        }
        $name .= '-' . $key;
        if ($value !== '') {
            $name .= '_' . $value;
        }
    }
    if ($name !== null) {
        $name = '%s_' . $name . '.%s';
    }
}
)";
constexpr std::string_view kPhpOne = R"(<?php
$main = '%s';
$name = null;
if (!isset($_GET[$main])) {
    $name = '%s_n0n3.%s';
} elseif (is_string($_GET[$main])) {
    $name = '%s_' . $_GET[$main] . '.%s';
}
)";
// The end of both PHP scripts: sends the page's bytes.
constexpr std::string_view kPhpServe =
    R"(if ($name !== null && strpos($name, '..') === false && strpos($name, '\\') === false
    && strpos($name, "\0") === false && is_file(__DIR__ . '/' . $name)) {
    readfile(__DIR__ . '/' . $name);
} else {
    http_response_code(404);
    echo 'File ', htmlentities((string)$name), ' Not Found.';
}
)";

constexpr std::string_view kAspAll = R"(<%%
Dim mainparam, name, key, value
mainparam = "%s"
If Request.QueryString(mainparam).Count = 0 Then
    name = "%s_n0n3.%s"
Else
    name = Request.QueryString(mainparam)
    For Each key In Request.QueryString
        If StrComp(key, mainparam, vbTextCompare) <> 0 Then
            name = name & "-" & key
            value = Request.QueryString(key)
            If value <> "" Then name = name & "_" & value
        End If
    Next
    name = "%s_" & name & ".%s"
End If
)";
constexpr std::string_view kAspOne = R"(<%%
Dim mainparam, name
mainparam = "%s"
If Request.QueryString(mainparam).Count = 0 Then
    name = "%s_n0n3.%s"
Else
    name = "%s_" & Request.QueryString(mainparam) & ".%s"
End If
)";
// The end of both ASP scripts. ADODB.Stream sends the bytes unchanged.
constexpr std::string_view kAspServe = R"(Dim path, fs, stream
path = ""
If InStr(name, "..") = 0 And InStr(name, "\") = 0 And InStr(name, ":") = 0 Then
    On Error Resume Next
    path = Server.MapPath(name)
    If Err.Number <> 0 Then path = ""
    On Error GoTo 0
End If
Set fs = Server.CreateObject("Scripting.FileSystemObject")
If path <> "" Then
    If Not fs.FileExists(path) Then path = ""
End If
If path <> "" Then
    Set stream = Server.CreateObject("ADODB.Stream")
    stream.Type = 1
    stream.Open
    stream.LoadFromFile path
    Response.ContentType = "text/html"
    Response.BinaryWrite stream.Read
    stream.Close
Else
    Response.Status = "404 Not Found"
    Response.Write "File " & Server.HTMLEncode(name) & " Not Found."
End If
%%>)";

constexpr std::string_view kJspAll =
    R"(<%%@ page import="java.io.*,java.util.*" session="false" trimDirectiveWhitespaces="true" %%><%%
String mainparam = "%s";
String name = request.getParameter(mainparam);
if (name == null) {
    name = "%s_n0n3.%s";
} else {
    Enumeration<String> keys = request.getParameterNames();
    while (keys.hasMoreElements()) {
        String key = keys.nextElement();
        if (key.equals(mainparam)) {
            continue;
        }
        String value = request.getParameter(key);
        name += "-" + key;
        if (value != null && !value.isEmpty()) {
            name += "_" + value;
        }
    }
    name = "%s_" + name + ".%s";
}
)";
constexpr std::string_view kJspOne =
    R"(<%%@ page import="java.io.*" session="false" trimDirectiveWhitespaces="true" %%><%%
String name = request.getParameter("%s");
if (name == null) {
    name = "%s_n0n3.%s";
} else {
    name = "%s_" + name + ".%s";
}
)";
// The end of both JSP scripts: the page is read as a resource beside the
// script (no dispatcher, which would take a '?' or '%' of the name as URL
// syntax) and its bytes are copied; nothing goes through the page's writer.
constexpr std::string_view kJspServe = R"(String here = request.getServletPath();
here = here.substring(0, here.lastIndexOf('/') + 1);
InputStream stored = (name.contains("..") || name.indexOf('\\') >= 0)
    ? null : application.getResourceAsStream(here + name);
if (stored == null) {
    response.setStatus(404);
    out.print("File " + name.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
              + " Not Found.");
} else {
    try (InputStream in = stored) {
        response.reset();
        response.setContentType("text/html");
        OutputStream to = response.getOutputStream();
        byte[] buffer = new byte[8192];
        for (int got; (got = in.read(buffer)) > 0;) {
            to.write(buffer, 0, got);
        }
    }
}
%%>)";

struct ScriptTemplate {
    std::string_view head;  // computes `name`
    std::string_view serve;
};

constexpr std::array<ScriptTemplate, 3> kAllParameterScripts = {
    {{kPhpAll, kPhpServe}, {kAspAll, kAspServe}, {kJspAll, kJspServe}}};
constexpr std::array<ScriptTemplate, 3> kOneParameterScripts = {
    {{kPhpOne, kPhpServe}, {kAspOne, kAspServe}, {kJspOne, kJspServe}}};

// Stored query pages end in ".html" whatever the script's language, so that a
// saved site opens in a browser from disk; earlier runs used the extension of
// the URL, and DynamicPageExists still finds those. A file of another kind
// (a stylesheet, a font, a picture with a query) keeps its own extension, by
// which a browser reads it.
constexpr std::string_view kStoredPageExtension = "html";
constexpr std::size_t kMakeExtensionLimit = 6;    // extension letters MakeDynamicPage looks at
constexpr std::size_t kExistsExtensionLimit = 4;  // ... and DynamicPageExists
constexpr std::size_t kNameLimit = kLocalPathCapacity - 1;  // a name in a 1,040-byte buffer
constexpr std::size_t kStoredNameCut = 1034;  // a stored name that would not fit is cut here
constexpr std::size_t kCopyNameLimit = 259;   // the "_n0n3" copy of index.html: 260-byte buffer
constexpr int kSharingRetryMs = 300;
constexpr int kSharingRetryLimit = 20;  // then the script path counts as missing

// The extension a stored query name ends in, for the URL's extension.
std::string StoredExtensionFor(std::string_view urlExtension) {
    static constexpr std::string_view kPageExtensions[] = {
        "php", "php3", "php4", "php5", "phtml", "asp",   "aspx", "jsp",    "jspx", "cgi",
        "pl",  "cfm",  "htm",  "html", "shtml", "xhtml", "do",   "action", "dll",  "py"};
    const std::string lower = ToLowerAscii(urlExtension);
    for (const std::string_view page : kPageExtensions) {
        if (lower == page) {
            return std::string(kStoredPageExtension);
        }
    }
    bool plain = !lower.empty();
    for (const char c : lower) {
        plain = plain && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
    }
    return plain ? std::string(urlExtension) : std::string(kStoredPageExtension);
}

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

// In single-parameter mode only the first parameter counts: the name is cut
// at the first '&' after the first '=' of the query.
void KeepFirstParameter(std::string& name, std::size_t queryPos) {
    const std::size_t equals = name.find('=', queryPos + 1);
    const std::size_t amp =
        equals == std::string::npos ? std::string::npos : name.find('&', equals);
    if (amp != std::string::npos) {
        name.resize(amp);
    }
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

// The index.html of the site (the first directory) that holds `script`.
std::string SiteIndexFor(std::string_view script) {
    const std::size_t separator = script.find_first_of("/\\");
    return (separator == std::string_view::npos ? std::string()
                                                : std::string(script.substr(0, separator + 1))) +
           "index.html";
}

std::string KeptPageSuffix(std::string_view mainParameter) {
    return "_" + std::string(mainParameter) + "_n0n3." + std::string(kStoredPageExtension);
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
void PlaceScript(const std::string& script, const std::string& mainParameter, std::string_view text,
                 RedirectFileList& redirects, const Logs& logs) {
    const std::string keptSuffix = KeptPageSuffix(mainParameter);
    switch (LookAtScriptPath(script)) {
        case ScriptSpot::Script:
            return;
        case ScriptSpot::Page: {
            const std::string kept = script + keptSuffix;
            if (!LocalFileExists(kept) && !CopyWithoutOverwriting(script, kept, logs) &&
                !LocalFileExists(kept)) {
                return;  // the page has no copy: it stays instead of the script
            }
            WriteScript(script, text, logs);
            return;
        }
        case ScriptSpot::Missing: {
            const std::string index = SiteIndexFor(script);
            // The look for the site's index.html and the new record are one
            // step: an index.html saved meanwhile finds the record and makes
            // the copy itself (CopyIndexForScripts).
            // Two workers saving pages of one script both find it missing; the
            // second finds the copy made and leaves it.
            redirects.WithRecords([&](RedirectFileRecords& records) {
                const std::string copy = IndexCopyName(script, keptSuffix);
                if (LocalFileExists(index) && !LocalFileExists(copy)) {
                    (void)CopyWithoutOverwriting(index, copy, logs);
                }
                WriteScript(script, text, logs);
                for (const auto& record : records) {
                    if (record.first == script) {
                        return;
                    }
                }
                records.emplace_back(script, mainParameter);
            });
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

void RedirectFileList::WithRecords(const std::function<void(RedirectFileRecords&)>& step) {
    const std::lock_guard<std::mutex> lock(mutex_);
    step(records_);
}

void CopyIndexForScripts(std::string_view localName, RedirectFileList& redirects,
                         const DynamicPageLog& errorLog, const DynamicPageLog& debugLog) {
    const std::size_t separator = localName.find_first_of("/\\");
    const std::string_view rest =
        separator == std::string_view::npos ? localName : localName.substr(separator + 1);
    if (rest != "index.html") {
        return;
    }
    const Logs logs{errorLog, debugLog};
    redirects.WithRecords([&](RedirectFileRecords& records) {
        for (const auto& [script, parameter] : records) {
            const std::string copy = IndexCopyName(script, KeptPageSuffix(parameter));
            if (SiteIndexFor(script) == localName && !LocalFileExists(copy)) {
                (void)CopyWithoutOverwriting(localName, copy, logs);
            }
        }
    });
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
    const ScriptTemplate& script =
        singleParameter ? kOneParameterScripts[index] : kAllParameterScripts[index];
    const std::array<std::string_view, 5> values = {mainParameter, prefix, extension, prefix,
                                                    extension};
    std::string text;
    std::size_t next = 0;
    std::string pattern(script.head);
    pattern += script.serve;
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
        KeepFirstParameter(localName, queryPos);
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
    // The extension of the URL stands in the prefix, so checking the prefix
    // checks everything of the name that goes into the script.
    if (FitsInScript(prefix)) {
        const std::string text =
            RedirectScriptText(type, options.singleRedirectParam, mainParameter, prefix,
                               StoredExtensionFor(extension));
        PlaceScript(script, mainParameter, text, redirects, logs);
    } else {
        logs.Debug("Redirect script not written, name unsafe in a script: " + script);
    }

    localName = StoredName(localName, StoredExtensionFor(extension));
    return true;
}

std::string StoredQueryPageName(std::string_view localName, const DynamicPageOptions& options) {
    const std::size_t queryPos = localName.find('?');
    if (queryPos == std::string_view::npos) {
        return std::string(localName);
    }
    if (IsFlashMovie(PageExtension(localName, queryPos, kMakeExtensionLimit))) {
        return std::string(localName.substr(0, queryPos));  // stored without its query
    }
    std::string name(localName);
    if (options.singleRedirectParam) {
        KeepFirstParameter(name, queryPos);
    }
    return StoredName(name, StoredExtensionFor(PageExtension(name, queryPos, kMakeExtensionLimit)));
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
    // The name of this version first, then the one earlier runs gave the page.
    std::string stored =
        StoredName(path, StoredExtensionFor(PageExtension(path, queryPos, kMakeExtensionLimit)));
    if (!LocalFileExists(stored)) {
        std::string earlier = StoredName(path, extension);
        if (LocalFileExists(earlier)) {
            path = std::move(earlier);
            return true;
        }
    }
    path = std::move(stored);
    return LocalFileExists(path);
}

bool DynamicPageExists(std::string& path, const DynamicPageOptions& options) {
    return DynamicPageExists(path, path.find('?'), options);
}

}  // namespace wg
