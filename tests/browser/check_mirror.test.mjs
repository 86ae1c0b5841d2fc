// Runs check_mirror.mjs on small hand-made mirrors: node --test tests/browser/
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { classifyContent, cssReferences, fileForUrl } from './check_mirror.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const script = path.join(here, 'check_mirror.mjs');
const chromiumPath = process.env.CHROMIUM_PATH || '/usr/bin/chromium';
const browserMissing = !fs.existsSync(chromiumPath)
    ? `no Chromium at ${chromiumPath}`
    : !fs.existsSync(path.join(here, 'node_modules', 'playwright-core'))
        ? 'playwright-core not installed (npm ci)'
        : false;

// 1x1 PNG.
const PNG = Buffer.from(
    'iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC',
    'base64');

function writeTree(root, files) {
    for (const [name, body] of Object.entries(files)) {
        const file = path.join(root, name);
        fs.mkdirSync(path.dirname(file), { recursive: true });
        fs.writeFileSync(file, body);
    }
}

function run(root, start = 'site/index.html', shot = path.join(root, '..', 'shots', 'start.png'), options = []) {
    const r = spawnSync(process.execPath, [script, ...options, root, start, shot], { encoding: 'utf8', timeout: 120000 });
    return { code: r.status, out: r.stdout, err: r.stderr, lines: r.stdout.trim().split('\n') };
}

const page = (body, head = '') =>
    `<!DOCTYPE html><html><head><title>t</title>${head}</head><body>${body}</body></html>`;

describe('reference helpers', () => {
    test('file URLs drop query and fragment, hosts are refused', () => {
        assert.equal(fileForUrl('file:///m/a%20b.html?x=1#top').path, '/m/a b.html');
        assert.match(fileForUrl('file://cdn.example.org/x.js').error, /host/);
        assert.equal(fileForUrl('http://x/').error, 'not a file URL');
    });
    test('stylesheet references in every quoting, comments ignored', () => {
        const css = `/* url(gone.png) */ a{background:url( "q.png" )} b{background:url('s.png')}
                     c{background:url(bare.png)} @import "more.css"; d{background:url()}`;
        assert.deepEqual(cssReferences(css), ['q.png', 's.png', 'bare.png', 'more.css']);
    });
    test('redirect scripts are told from saved pages', () => {
        assert.equal(classifyContent('<? \n error_reporting(E_ALL);'), 'script');
        assert.equal(classifyContent('<%\nSUB ReadDisplayFile'), 'script');
        assert.equal(classifyContent('\uFEFF  <!DOCTYPE html><html>'), 'html');
        assert.equal(classifyContent('<?xml version="1.0"?><html xmlns="x">'), 'html');
        assert.equal(classifyContent('plain text'), null);
    });
});

describe('mirror check in Chromium', { skip: browserMissing }, () => {
    let tmp;
    const good = {
        'site/index.html': page(
            `<img src="img/a.png"><a href="sub/one.html#x">one</a> <a href="view.php?id=3">item</a>
             <a href="sub/">dir</a> <a href="http://example.org/">out</a> <a href="mailto:x@y.z">m</a>
             <div style="height:4000px"></div><img loading="lazy" src="img/lazy.png">`,
            '<link rel="stylesheet" href="css/s.css">'),
        'site/css/s.css': 'body{background:url(../img/bg.png)} a:hover{background:url("../img/hover.png")}',
        'site/img/a.png': PNG,
        'site/img/bg.png': PNG,
        'site/img/hover.png': PNG,
        'site/img/lazy.png': PNG,
        'site/sub/one.html': page('<a href="../index.html">home</a><img src="../img/a.png">'),
        'site/view.php': '<? \n$mainparam = \'id\';\n?>',
        'site/view.php_id_3.php': page('<img src="img/item.png"><a href="index.html">home</a>'),
        'site/img/item.png': PNG,
    };

    before(() => {
        tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'check-mirror-test-'));
    });
    after(() => fs.rmSync(tmp, { recursive: true, force: true }));

    const mirror = (name, changes = {}, removed = []) => {
        const root = path.join(tmp, name, 'mirror');
        writeTree(root, { ...good, ...changes });
        for (const f of removed) fs.rmSync(path.join(root, f));
        return root;
    };

    test('a complete mirror passes, renders the query-named page and shoots the start page', () => {
        const root = mirror('good');
        const r = run(root);
        assert.equal(r.code, 0, r.out + r.err);
        assert.equal(r.lines.length, 1);
        assert.match(r.out, /^OK: 3 pages loaded \(1 under query names, 1 redirect scripts skipped\)/);
        assert.match(r.err, /view\.php\?id=3 opens the server script site\/view\.php/);
        const shot = path.join(root, '..', 'shots', 'start.png');
        assert.deepEqual(fs.readFileSync(shot).subarray(1, 4).toString(), 'PNG');
    });

    test('missing pictures, pages and stylesheet targets are named with the page that needs them', () => {
        const root = mirror('broken', {}, ['site/img/a.png', 'site/img/lazy.png', 'site/img/hover.png',
            'site/img/item.png', 'site/sub/one.html']);
        const r = run(root);
        assert.equal(r.code, 1, r.out + r.err);
        for (const line of [
            'missing: site/img/a.png (from site/index.html)',
            'missing: site/img/lazy.png (from site/index.html)',
            'missing: site/sub/one.html (from site/index.html)',
            'missing: site/img/item.png (from site/view.php_id_3.php)',
            'missing: site/img/hover.png (from site/css/s.css)',
        ]) {
            assert.ok(r.lines.includes(line), `${line}\n--- got:\n${r.out}`);
        }
        assert.match(r.lines.at(-1), /^FAILED: 5 problems; 2 pages loaded/);
    });

    test('network subresources fail, root-relative and host file URLs are outside the mirror', () => {
        const root = mirror('remote', {
            'site/index.html': page(
                '<img src="http://127.0.0.1:9/x.png"><img src="/img/a.png"><a href="//cdn.example.org/x.html">c</a>',
                '<link rel="stylesheet" href="https://127.0.0.1:9/s.css">'),
        });
        const r = run(root);
        assert.equal(r.code, 1, r.out + r.err);
        assert.ok(r.lines.includes('remote: http://127.0.0.1:9/x.png (image, from site/index.html)'), r.out);
        assert.ok(r.lines.includes('remote: https://127.0.0.1:9/s.css (stylesheet, from site/index.html)'), r.out);
        assert.ok(r.lines.includes('missing: /img/a.png (from site/index.html)'), r.out);
        assert.ok(r.lines.some((l) => l.startsWith('bad file URL: file://cdn.example.org/x.html')), r.out);
        assert.match(r.lines.at(-1), / 2 remote requests blocked/);
    });

    test('strict queries fail a link to the redirect script; other sites named offsite do not fail', () => {
        const root = mirror('strict', {
            'site/index.html': page(
                '<a href="view.php?id=3">item</a><img src="https://cdn.example.invalid/x.png">' +
                '<iframe src="https://video.other.invalid/embed/1"></iframe><img src="http://127.0.0.1:9/y.png">'),
        });
        const options = ['--strict-queries', '--offsite=cdn.example.invalid,video.other.invalid'];
        const r = run(root, undefined, undefined, options);
        assert.equal(r.code, 1, r.out + r.err);
        assert.deepEqual(r.lines.slice(0, -1), [
            'remote: http://127.0.0.1:9/y.png (image, from site/index.html)',
            'remote: http://127.0.0.1:9/y.png (asset, from site/index.html)',
            'query page not reachable: site/view.php?id=3 opens the server script offline (from site/index.html)',
        ]);
        assert.match(r.lines.at(-1), / 1 remote requests blocked \(2 more to other sites\)/);
    });

    test('usage errors and a missing start page exit 2', () => {
        const root = mirror('usage');
        assert.equal(run(root, 'nope.html').code, 2);
        assert.equal(run(root, '../outside.html').code, 2);
        assert.equal(spawnSync(process.execPath, [script, root], { encoding: 'utf8' }).status, 2);
        assert.equal(run(root, undefined, undefined, ['--no-such-option']).code, 2);
    });
});
