// One served copy of the page, with what a host can get wrong: the loopback
// server's answers (compressed copies where the browser takes them and they
// save something, the same bytes after decompressing, nothing outside the
// folder, a folder asked for without its slash redirected); a visit's first
// moments (the first paint is the loading sign, the progress goes up through
// the download and the decoding of the track, the first frame is drawn while
// the track is still being decoded, the sign stays in view in full screen,
// a download that stands still is said); and each way a visit can fail,
// said on the page. How long loading takes is measured by
// bench/web_loading.js.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { open, tapAudio, watchConsole, untilQuietly, unavailable } = require('./browser.js');

const built = process.env.BRAKVANE_WEB_PAGE || path.join(__dirname, '..', '..', 'build-web');
const pageFiles = ['index.html', 'index.js', 'index.wasm', 'index.data'];

// The page, a file that does not compress, and the page once more in a
// sub-folder without its data file.
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'brakvane-served-'));
const random = crypto.randomBytes(20000);
for (const name of pageFiles) fs.copyFileSync(path.join(built, name), path.join(folder, name));
fs.writeFileSync(path.join(folder, 'random.js'), random);
fs.mkdirSync(path.join(folder, 'nodata'));
for (const name of pageFiles.slice(0, 3)) fs.copyFileSync(path.join(built, name), path.join(folder, 'nodata', name));
test.after(() => fs.rmSync(folder, { recursive: true, force: true }));

function get(port, name, acceptEncoding) {
  return new Promise((resolve, reject) => {
    const headers = acceptEncoding === undefined ? {} : { 'Accept-Encoding': acceptEncoding };
    http.get({ host: '127.0.0.1', port, path: name, headers }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body: Buffer.concat(chunks) }));
    }).on('error', reject);
  });
}

const unpack = { br: zlib.brotliDecompressSync, gzip: zlib.gunzipSync, undefined: (bytes) => bytes };

test('the server compresses what compresses, as the browser asks, and redirects a folder to its slash', async () => {
  const session = await open({ folder });
  const port = session.server.address().port;
  try {
    const script = fs.readFileSync(path.join(folder, 'index.js'));
    const data = fs.readFileSync(path.join(folder, 'index.data'));
    for (const [name, accept, encoding, bytes] of [
      ['/index.js', 'gzip, deflate, br', 'br', script],
      ['/index.js', 'gzip', 'gzip', script],
      ['/index.js', 'br;q=0, gzip', 'gzip', script],
      ['/index.js', undefined, undefined, script],
      ['/index.js', 'identity', undefined, script],
      ['/index.data', 'gzip, br', undefined, data],  // pictures and music: compressed already
      ['/random.js', 'gzip, br', undefined, random], // would not get smaller
    ]) {
      const response = await get(port, name, accept);
      assert.strictEqual(response.status, 200);
      assert.strictEqual(response.headers['content-encoding'], encoding, `${name} with ${accept}`);
      assert.strictEqual(Number(response.headers['content-length']), response.body.length);
      assert.ok(unpack[encoding](response.body).equals(bytes), `${name} with ${accept}: other bytes`);
    }
    assert.strictEqual((await get(port, '/..%2f..%2fetc%2fpasswd')).status, 403);
    assert.strictEqual((await get(port, '/missing.js')).status, 404);
    for (const [asked, location] of [['/nodata', '/nodata/'], ['/nodata?t=3', '/nodata/?t=3']]) {
      const response = await get(port, asked);
      assert.deepStrictEqual([response.status, response.headers.location], [301, location], asked);
    }
  } finally {
    await session.close();
  }
});

// Put in the page before its own script: each text the sign shows, with when.
function watchSign() {
  window.brakvaneSignLog = [];
  document.addEventListener('DOMContentLoaded', () => {
    const sign = document.getElementById('sign');
    const note = () => brakvaneSignLog.push([performance.now(), sign.hidden ? '' : sign.textContent.trim()]);
    note();
    new MutationObserver(note).observe(sign, { subtree: true, childList: true, characterData: true, attributes: true });
  });
}

// Waits until the sign shows pattern (its headline | its detail), watched
// quietly: anything counting as a gesture would let the sound start.
const signShows = (page, pattern) => untilQuietly(page, `(() => {
  const text = (id) => document.getElementById(id).textContent;
  return !document.getElementById('sign').hidden && ${pattern}.test(text('sign-text') + ' | ' + text('sign-detail'));
})()`).catch(async () => {
  const shown = await page.evaluate(() => [document.getElementById('sign').textContent, document.getElementById('sign').hidden,
                                           window.Module && Module.brakvaneFrames, window.demoStage]);
  assert.fail(`the sign never said ${pattern}: ${JSON.stringify(shown)}`);
});

test('the first paint is the loading sign, which stays in view in full screen and says when the download stalls', async () => {
  const session = await open({ autoplay: 'allowed', folder });
  try {
    const page = await session.browser.newPage();
    await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
    await page.evaluateOnNewDocument(tapAudio);
    await page.evaluateOnNewDocument(watchSign);
    // The data is held back until the page has said that the download stalled.
    let release;
    const held = new Promise((resolve) => (release = resolve));
    await page.setRequestInterception(true);
    page.on('request', (request) => {
      if (request.url().endsWith('/index.data')) held.then(() => request.continue());
      else request.continue();
    });
    await page.goto(session.address, { waitUntil: 'domcontentloaded' });
    await page.waitForFunction(() => performance.getEntriesByType('paint').some((e) => e.name === 'first-contentful-paint'),
                               { polling: 50, timeout: 60000 });
    const early = await page.evaluate(() => ({
      text: document.getElementById('sign').textContent.trim(),
      visible: !document.getElementById('sign').hidden,
      frames: window.Module && Module.brakvaneFrames,
    }));
    assert.ok(early.visible && /^loading \d+%$/.test(early.text), 'first paint: ' + JSON.stringify(early));
    assert.ok(!early.frames, 'a frame was drawn before the data arrived');

    // A click while loading goes full screen, and the sign goes with it.
    await page.click('#canvas');
    await page.waitForFunction(() => document.fullscreenElement !== null, { timeout: 10000 });
    assert.ok(await page.evaluate(() => document.fullscreenElement.contains(document.getElementById('sign')) &&
                                        !document.getElementById('sign').hidden), 'the sign is not in full screen');

    await signShows(page, /^The download has stalled \| /);
    release();

    await page.waitForFunction(() => Module.brakvaneTime > 0.5, { polling: 50, timeout: 120000 });
    const { signs, firstFrame } = await page.evaluate(() => ({ signs: brakvaneSignLog, firstFrame: brakvaneFrameLog[0][0] }));
    const percents = signs.map(([, text]) => /^loading (\d+)%$/.exec(text)).filter(Boolean).map((m) => Number(m[1]));
    for (let i = 1; i < percents.length; ++i) assert.ok(percents[i] >= percents[i - 1], 'progress went back: ' + percents);
    assert.ok(percents.some((p) => p > 50 && p < 100), 'no decoding progress shown: ' + percents);
    const lastLoading = Math.max(...signs.filter(([, text]) => text.startsWith('loading')).map(([at]) => at));
    assert.ok(firstFrame < lastLoading, 'the first frame waited for the track to be decoded');
    assert.strictEqual(signs[signs.length - 1][1], '', 'the sign is still showing');
  } finally {
    await session.close();
  }
});

// Put in the page before its own script, for the failures a visitor's
// browser brings.
function noWebGL() {
  const original = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function(type, ...rest) {
    if (!/webgl/.test(type)) return original.call(this, type, ...rest);
    this.dispatchEvent(new WebGLContextEvent('webglcontextcreationerror', { statusMessage: 'no GPU in this test' }));
    return null;
  };
}
function noAudio() {
  window.AudioContext = function() { throw new DOMException('no output device in this test', 'NotSupportedError'); };
}
// The program's module comes without its instance: starting it throws a
// TypeError in the page, which is not the connection's.
function noInstance() {
  WebAssembly.instantiateStreaming = WebAssembly.instantiate = () => Promise.resolve({});
}
function soundNeverStarts() {
  AudioContext.prototype.resume = () => new Promise(() => {});
}

// Each row: how the page is served or what the browser lacks (or the keys
// the viewer presses), and what the sign then says (its headline | its
// detail) and the browser stores; a row that plays goes on to draw the show,
// with its console quiet where it says so.
const failures = [
  { name: 'the data file is missing', at: 'nodata/',
    says: /^The demo could not load \| index\.data did not load: the server answered 404 Not Found\. Reload/ },
  { name: 'the program is answered with 503', answer: { 'index.wasm': { status: 503 } },
    says: /^The demo could not load \| index\.wasm did not load: the server answered 503 Service Unavailable\. The server has/ },
  { name: 'the code is missing', answer: { 'index.js': { status: 404 } },
    says: /^The demo could not load \| index\.js did not load: the server answered 404 Not Found\. Reload/ },
  { name: 'the program comes as application/octet-stream', answer: { 'index.wasm': { contentType: 'application/octet-stream' } },
    says: /^click to start \| $/, then: '#sign', quiet: true },
  { name: 'the page is opened from the disk', fromDisk: true,
    says: /^This page has to come from a web server \| .*Run "python3 -m http\.server" in its folder, then open http:\/\/localhost:8000\//
  },
  { name: 'the browser has no WebGL', before: noWebGL,
    says: /^Your browser cannot draw this demo \| It could not start WebGL \(no GPU in this test\)\. Turning on hardware/ },
  { name: 'starting the program throws a TypeError', before: noInstance,
    says: /^The demo could not start \| TypeError: .+\. Reload the page to try again\.$/ },
  { name: 'the browser gives no sound', before: noAudio,
    says: /^Playing without sound \| Your browser gave this page no sound \(NotSupportedError: no output device in this test\)\.$/ },
  { name: 'the sound never starts', before: soundNeverStarts, click: '#sign',
    says: /^The sound has not started \| Your browser may have no sound output, or keeps sound off for this page\.$/,
    then: '#sign-action' },
  // Last: the correction it stores stays with the browser.
  { name: 'the viewer corrects the sound', at: '?latency=40', click: '#sign', keys: ['+', '+', '-'],
    says: /^sound \+45 ms \| the - and \+ keys move it$/, stored: { 'brakvane.latency': '45' } },
];

// In Chromium, and in WebKit, whose driver cannot answer the page's
// requests in the test's place: its rows served wrong by the test are left out.
for (const engine of ['chromium', 'webkit']) {
  test(`in ${engine}, each failure is said on the page, with what to do`, { skip: unavailable(engine) }, async () => {
    const session = await open({ engine, autoplay: 'gesture', folder });
    try {
      for (const row of failures) {
        if (row.answer && engine === 'webkit') continue;
        const page = await session.browser.newPage();
        try {
          const { lines, problems } = watchConsole(page);
          await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
          if (row.before) await page.evaluateOnNewDocument(row.before);
          if (row.answer) {
            await page.setRequestInterception(true);
            page.on('request', (request) => {
              const name = Object.keys(row.answer).find((file) => request.url().endsWith('/' + file));
              if (!name) return request.continue();
              const { status = 200, contentType } = row.answer[name];
              const body = status === 200 ? fs.readFileSync(path.join(folder, name)) : '';
              return request.respond({ status, contentType, body });
            });
          }
          await page.goto(row.fromDisk ? 'file://' + path.join(folder, 'index.html') : session.address + (row.at || ''));
          if (row.click) {
            await signShows(page, /^click to start \| $/);
            await page.click(row.click);
          }
          for (const key of row.keys || []) await page.keyboard.press(key);
          await signShows(page, row.says);
          for (const [key, value] of Object.entries(row.stored || {}))
            assert.strictEqual(await page.evaluate((k) => localStorage.getItem(k), key), value, row.name + ': ' + key);
          console.log(`${row.name}: ${await page.evaluate(() => ['sign-text', 'sign-detail', 'sign-action']
            .map((id) => document.getElementById(id).textContent).filter(Boolean).join(' | '))}`);
          if (row.then) {
            await page.click(row.then);
            await page.waitForFunction(() => Module.brakvaneTime > 1, { polling: 50, timeout: 120000 }).catch(async () => {
              const shown = await page.evaluate(() => [document.getElementById('sign').textContent, document.visibilityState,
                                                       Module.brakvaneTime, demoStage]);
              assert.fail(`${row.name}: after ${row.then}, the show did not go on: ${JSON.stringify(shown)}`);
            });
          }
          if (row.quiet) assert.deepStrictEqual(problems, [], row.name + ':\n' + lines.join('\n'));
        } finally {
          await page.close();
        }
      }
    } finally {
      await session.close();
    }
  });
}
