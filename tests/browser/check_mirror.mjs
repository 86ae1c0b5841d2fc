// Offline mirror check: opens every saved page of a download directory in
// headless Chromium from file:// and fails when the mirror depends on a file
// it does not hold or on the network.
//
//   node check_mirror.mjs [--strict-queries] [--offsite=HOST,...] <mirrorRoot> <startPageRelativePath> <screenshot.png>
//
// --strict-queries  a query link that lands on a redirect script fails
//                   instead of giving a warning (every query page must be
//                   reachable by a click);
// --offsite=HOSTS   requests and assets on these hosts (comma list) are
//                   blocked and counted but do not fail: they belong to other
//                   sites, which the mirror is not meant to hold. Requests to
//                   any other host still fail.
//
// Setup (once): apt-get install -y --no-install-recommends chromium fonts-liberation
//               npm ci  (in this directory; playwright-core never fetches a browser)
// CHROMIUM_PATH overrides /usr/bin/chromium.
//
// What is checked, page by page (one browser, one context, one tab):
// - every request the page makes: a file:// request whose file is not on
//   disk fails; any http(s) request is blocked and fails (the mirror must
//   work offline);
// - every src/srcset/stylesheet reference in the DOM, so that lazy images and
//   other assets the first render skipped are checked too;
// - every <a href>/<area href> that resolves to file://: the target must
//   exist. A browser ignores the query of a file:// URL and opens the path
//   alone, so the query and the fragment are dropped before the test; a query
//   link that lands on a server-side redirect script (which a browser shows
//   as source text) is reported as a warning on stderr (a failure with
//   --strict-queries). http(s) links are only counted;
// - every url() and @import in the mirror's stylesheets, resolved against the
//   stylesheet (rules the pages never applied included).
// Pages are files ending in .html/.htm, and pages stored under query-derived
// names ending in a server extension (.php, .asp, .jsp, .cgi, ...) when their
// content is HTML. Chromium offers the latter as downloads from file://, so
// their own file:// request is answered with the file's bytes as text/html:
// the page keeps its real file:// address and resolves its links exactly as
// a saved .html page would. Redirect scripts (content starting with <? or <%)
// are not pages and are skipped.
//
// Exit status: 0 all checks passed (one summary line on stdout); 1 a check
// failed (one line per failure on stdout, then the summary); 2 usage error;
// 3 playwright-core or Chromium is not available.

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const EXIT_FAIL = 1;
const EXIT_USAGE = 2;
const EXIT_ENVIRONMENT = 3;

const RENDERED_EXTENSIONS = new Set(['.html', '.htm']);
const SERVER_PAGE_EXTENSIONS = new Set([
    '.php', '.php3', '.php4', '.php5', '.phtml', '.asp', '.aspx', '.jsp', '.jspx',
    '.cgi', '.pl', '.cfm', '.shtml', '.do', '.action',
]);
const CHROMIUM_FLAGS = [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
];
const PAGE_TIMEOUT_MS = 15000;

function usage(message) {
    if (message) console.error(`check_mirror: ${message}`);
    console.error('usage: node check_mirror.mjs [--strict-queries] [--offsite=HOST,...] <mirrorRoot> <startPageRelativePath> <screenshot.png>');
    process.exit(EXIT_USAGE);
}

// --- files of the mirror ---------------------------------------------------

function walkFiles(dir, out = []) {
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
        const full = path.join(dir, entry.name);
        if (entry.isDirectory()) walkFiles(full, out);
        else if (entry.isFile()) out.push(full);
    }
    return out;
}

function readHead(file, bytes = 4096) {
    const fd = fs.openSync(file, 'r');
    try {
        const buf = Buffer.alloc(bytes);
        const n = fs.readSync(fd, buf, 0, bytes, 0);
        return buf.subarray(0, n).toString('latin1');
    } finally {
        fs.closeSync(fd);
    }
}

// 'script' for a server-side redirect script, 'html' for a page, else null.
export function classifyContent(head) {
    const text = head.replace(/^\uFEFF|^\xEF\xBB\xBF/, '').trimStart();
    if (/^<%/.test(text) || (/^<\?/.test(text) && !/^<\?xml/i.test(text))) return 'script';
    if (/<(!doctype\s+html|html[\s>]|head[\s>]|body[\s>]|title[\s>]|meta\s|a\s|div[\s>]|p[\s>]|table[\s>])/i.test(text)) {
        return 'html';
    }
    return null;
}

function findPages(root) {
    const rendered = [];
    const served = [];
    const stylesheets = [];
    let scripts = 0;
    for (const file of walkFiles(root)) {
        const ext = path.extname(file).toLowerCase();
        if (RENDERED_EXTENSIONS.has(ext)) rendered.push(file);
        else if (ext === '.css') stylesheets.push(file);
        else if (SERVER_PAGE_EXTENSIONS.has(ext)) {
            const kind = classifyContent(readHead(file));
            if (kind === 'html') served.push(file);
            else if (kind === 'script') scripts++;
        }
    }
    return { rendered, served, stylesheets, scripts };
}

function isOutside(root, file) {
    const r = path.relative(root, file);
    return r === '..' || r.startsWith(`..${path.sep}`) || path.isAbsolute(r);
}

// --- URL to file ------------------------------------------------------------

// The file a file:// URL opens: a browser drops query and fragment.
// Returns { path } or { error }.
export function fileForUrl(url) {
    let u;
    try {
        u = new URL(url);
    } catch {
        return { error: 'unparsable URL' };
    }
    if (u.protocol !== 'file:') return { error: 'not a file URL' };
    u.search = '';
    u.hash = '';
    try {
        return { path: fileURLToPath(u) };
    } catch (e) {
        return { error: e.code === 'ERR_INVALID_FILE_URL_HOST' ? 'file URL with a host' : 'invalid file URL' };
    }
}

// 'file', 'dir' or null, cached: pages share most of their targets.
const kindCache = new Map();
function diskKind(file) {
    if (!kindCache.has(file)) {
        let kind = null;
        try {
            const st = fs.statSync(file);
            kind = st.isFile() ? 'file' : st.isDirectory() ? 'dir' : null;
        } catch {
            kind = null;
        }
        kindCache.set(file, kind);
    }
    return kindCache.get(file);
}

// --- CSS references -----------------------------------------------------------

// url(...) and @import "..." targets of a stylesheet's text, comments removed.
export function cssReferences(text) {
    const refs = [];
    const css = text.replace(/\/\*[\s\S]*?\*\//g, '');
    for (const m of css.matchAll(/url\(\s*(?:"([^"]*)"|'([^']*)'|([^)'"]*?))\s*\)/gi)) {
        refs.push(m[1] ?? m[2] ?? m[3]);
    }
    for (const m of css.matchAll(/@import\s+(?:"([^"]*)"|'([^']*)')/gi)) refs.push(m[1] ?? m[2]);
    return refs.filter((r) => r !== undefined && r.trim() !== '');
}

// --- main -------------------------------------------------------------------

async function main() {
    let strictQueries = false;
    const offsite = new Set();
    const args = [];
    for (const arg of process.argv.slice(2)) {
        if (arg === '--strict-queries') strictQueries = true;
        else if (arg.startsWith('--offsite=')) {
            for (const host of arg.slice('--offsite='.length).split(',')) {
                if (host.trim()) offsite.add(host.trim().toLowerCase());
            }
        } else if (arg.startsWith('--')) usage(`unknown option: ${arg}`);
        else args.push(arg);
    }
    if (args.length !== 3) usage(args.length ? 'expected three arguments' : '');
    const isOffsite = (url) => {
        try {
            return offsite.has(new URL(url).hostname.toLowerCase());
        } catch {
            return false;
        }
    };
    const root = path.resolve(args[0]);
    if (!fs.existsSync(root) || !fs.statSync(root).isDirectory()) usage(`not a directory: ${args[0]}`);
    const startFile = path.resolve(root, args[1]);
    if (isOutside(root, startFile) || path.isAbsolute(args[1])) {
        usage(`start page must lie inside the mirror: ${args[1]}`);
    }
    if (!fs.existsSync(startFile) || !fs.statSync(startFile).isFile()) usage(`start page not found: ${args[1]}`);
    const screenshot = path.resolve(args[2]);

    const executablePath = process.env.CHROMIUM_PATH || '/usr/bin/chromium';
    try {
        fs.accessSync(executablePath, fs.constants.X_OK);
    } catch {
        console.error(`check_mirror: Chromium not found at ${executablePath} (install the chromium package or set CHROMIUM_PATH)`);
        process.exit(EXIT_ENVIRONMENT);
    }
    let chromium;
    try {
        ({ chromium } = await import('playwright-core'));
    } catch (e) {
        console.error(`check_mirror: cannot load playwright-core (run npm ci in ${path.dirname(fileURLToPath(import.meta.url))}): ${e.message}`);
        process.exit(EXIT_ENVIRONMENT);
    }

    const rel = (file) => (isOutside(root, file) ? file : path.relative(root, file));
    const failures = [];
    const seenFailures = new Set();
    const fail = (line) => {
        if (!seenFailures.has(line)) {
            seenFailures.add(line);
            failures.push(line);
        }
    };
    const warnings = new Set();
    const stats = {
        pages: 0, served: 0, localRequests: 0, remoteRequests: 0, offsiteRequests: 0, assets: 0,
        links: 0, localLinks: 0, remoteLinks: 0, otherLinks: 0, cssRefs: 0,
    };

    // A local reference must name a file on disk; a link may also name a
    // directory, which a browser shows as a listing. Returns the path or null.
    const checkLocal = (url, from, allowDirectory = false) => {
        const target = fileForUrl(url);
        if (target.error) {
            fail(`bad file URL: ${url} (${target.error}, from ${from})`);
            return null;
        }
        const kind = diskKind(target.path);
        if (kind === 'file' || (kind === 'dir' && allowDirectory)) return target.path;
        fail(kind === 'dir' ? `not a file: ${rel(target.path)} (from ${from})` : `missing: ${rel(target.path)} (from ${from})`);
        return null;
    };

    const { rendered, served, stylesheets, scripts } = findPages(root);
    const servedSet = new Set(served);
    const startIsPage = rendered.includes(startFile) || servedSet.has(startFile);
    const pages = [startFile, ...[...rendered, ...served].filter((f) => f !== startFile).sort()];
    if (!startIsPage) servedSet.add(startFile); // given as a page: show it as HTML whatever its name

    const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'wg-check-mirror-'));
    let context;
    try {
        try {
            context = await chromium.launchPersistentContext(userDataDir, {
                executablePath,
                headless: true,
                args: CHROMIUM_FLAGS,
                serviceWorkers: 'block',
                acceptDownloads: false,
                viewport: { width: 1280, height: 800 },
            });
        } catch (e) {
            console.error(`check_mirror: Chromium did not start: ${e.message.split('\n')[0]}`);
            process.exit(EXIT_ENVIRONMENT);
        }

        let currentPage = null; // the page whose requests are being recorded
        let currentServedUrl = null; // its own URL when it is answered as text/html
        await context.route('**/*', async (route) => {
            const request = route.request();
            const url = request.url();
            const scheme = url.slice(0, url.indexOf(':') + 1).toLowerCase();
            if (scheme === 'http:' || scheme === 'https:') {
                if (isOffsite(url)) {
                    stats.offsiteRequests++;
                    await route.abort('blockedbyclient');
                    return;
                }
                stats.remoteRequests++;
                fail(`remote: ${url} (${request.resourceType()}, from ${currentPage ?? 'browser'})`);
                await route.abort('blockedbyclient');
                return;
            }
            if (scheme === 'file:' && request.isNavigationRequest() && url === currentServedUrl) {
                const file = fileForUrl(url).path;
                await route.fulfill({ status: 200, contentType: 'text/html', body: fs.readFileSync(file) });
                return;
            }
            await route.continue();
        });
        context.on('request', (request) => {
            if (currentPage === null || !request.url().toLowerCase().startsWith('file:')) return;
            stats.localRequests++;
            checkLocal(request.url(), currentPage);
        });

        const page = context.pages()[0] ?? (await context.newPage());
        page.setDefaultTimeout(PAGE_TIMEOUT_MS);
        for (const file of pages) {
            const pageName = rel(file);
            const url = pathToFileURL(file).href;
            currentPage = pageName;
            currentServedUrl = servedSet.has(file) ? url : null;
            try {
                await page.goto(url, { waitUntil: 'load' });
            } catch (e) {
                fail(`load failed: ${pageName} (${e.message.split('\n')[0]})`);
                continue;
            }
            stats.pages++;
            if (currentServedUrl) stats.served++;
            if (file === startFile) {
                fs.mkdirSync(path.dirname(screenshot), { recursive: true });
                await page.screenshot({ path: screenshot });
            }
            const refs = await page.evaluate(() => {
                const abs = (v) => {
                    try {
                        return new URL(v, document.baseURI).href;
                    } catch {
                        return v;
                    }
                };
                const assets = [];
                for (const el of document.querySelectorAll('[src]')) {
                    if (el.getAttribute('src').trim() !== '') assets.push(abs(el.getAttribute('src')));
                }
                for (const el of document.querySelectorAll('[srcset]')) {
                    for (const part of el.getAttribute('srcset').split(',')) {
                        const candidate = part.trim().split(/\s+/)[0];
                        if (candidate) assets.push(abs(candidate));
                    }
                }
                for (const el of document.querySelectorAll('link[href]')) {
                    if (/\b(stylesheet|icon|preload|modulepreload)\b/i.test(el.rel)) assets.push(el.href);
                }
                for (const el of document.querySelectorAll('object[data]')) assets.push(abs(el.getAttribute('data')));
                const links = [...document.querySelectorAll('a[href], area[href]')].map((a) => a.href);
                return { assets, links };
            });
            currentPage = null;
            currentServedUrl = null;

            for (const asset of refs.assets) {
                const scheme = asset.slice(0, asset.indexOf(':') + 1).toLowerCase();
                stats.assets++;
                if (scheme === 'file:') checkLocal(asset, pageName);
                else if ((scheme === 'http:' || scheme === 'https:') && !isOffsite(asset)) fail(`remote: ${asset} (asset, from ${pageName})`);
            }
            for (const link of refs.links) {
                const scheme = link.slice(0, link.indexOf(':') + 1).toLowerCase();
                stats.links++;
                if (scheme === 'http:' || scheme === 'https:') {
                    stats.remoteLinks++;
                    continue;
                }
                if (scheme !== 'file:') {
                    stats.otherLinks++;
                    continue;
                }
                stats.localLinks++;
                const target = checkLocal(link, pageName, true);
                if (target && new URL(link).search && diskKind(target) === 'file'
                    && classifyContent(readHead(target)) === 'script') {
                    if (strictQueries) {
                        fail(`query page not reachable: ${rel(target)}${new URL(link).search} opens the server script offline (from ${pageName})`);
                    } else {
                        warnings.add(`warning: ${link} opens the server script ${rel(target)} offline (from ${pageName})`);
                    }
                }
            }
        }

        for (const sheet of stylesheets) {
            const base = pathToFileURL(sheet);
            for (const ref of cssReferences(fs.readFileSync(sheet, 'utf8'))) {
                let url;
                try {
                    url = new URL(ref, base).href;
                } catch {
                    fail(`bad url: ${ref} (from ${rel(sheet)})`);
                    continue;
                }
                stats.cssRefs++;
                if (url.startsWith('file:')) checkLocal(url, rel(sheet));
            }
        }
    } finally {
        if (context) await context.close().catch(() => {});
        fs.rmSync(userDataDir, { recursive: true, force: true });
    }

    for (const w of warnings) console.error(w);
    for (const f of failures) console.log(f);
    const summary =
        `${stats.pages} pages loaded (${stats.served} under query names, ${scripts} redirect scripts skipped), ` +
        `${stats.localRequests} local requests, ${stats.remoteRequests} remote requests blocked` +
        `${offsite.size ? ` (${stats.offsiteRequests} more to other sites)` : ''}, ` +
        `${stats.assets} asset references, ${stats.links} links checked ` +
        `(${stats.localLinks} local, ${stats.remoteLinks} remote, ${stats.otherLinks} other), ` +
        `${stats.cssRefs} stylesheet references`;
    console.log(failures.length ? `FAILED: ${failures.length} problems; ${summary}` : `OK: ${summary}`);
    return failures.length ? EXIT_FAIL : 0;
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
    process.exitCode = await main();
}
