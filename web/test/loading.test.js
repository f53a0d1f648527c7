// Something to see at once: before the page's program and data have arrived,
// the first paint is the page's own sign with the loading progress; the
// progress goes up through the download and the decoding of the track; and
// the first frame is drawn while the track is still being decoded. How long
// that takes is measured by bench/web_loading.js.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const { open, tapAudio } = require('./browser.js');

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

test('the first paint is the loading sign, and the first frame does not wait for the music', async () => {
  const session = await open({ autoplay: 'allowed' });
  try {
    const page = await session.browser.newPage();
    await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
    await page.evaluateOnNewDocument(tapAudio);
    await page.evaluateOnNewDocument(watchSign);
    // The data is held back until the sign has been seen painted.
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
