// The page's frames against the offline renderer's: each moment where the
// schedule turns is drawn by the page (its ?t= hook) in each browser engine
// and by brakvane-capture --at from the same data, and the two pictures
// compared.
//
// Both draw through the same timeline with the same spectrum analysis, but
// with different rasterisers (Chromium's SwiftShader WebGL, or Firefox's
// and WebKit's WebGL on Mesa, under the fixed-function emulation, against
// Mesa's llvmpipe) and MP3 decoders that differ by one
// least significant bit on a few samples. Measured on the demo's data: most
// pixels are equal or 1 level apart (the two round bilinear filtering and
// blending weights differently); in the fine detail of the picture sequence a
// few hundred pixels differ by up to 6 levels, because the spectrum value
// behind the picture's scale differs in its last bits and the texels land a
// fraction of a texel apart. So every channel must be within levelTolerance
// (8), except for at most maxBeyond (100) pixels on edges that fall the other
// way. A wrong picture, layer or blend differs by far more; even a frame
// drawn 0.1 s late differs: at 10.3 s its bars are 2 to 3 pixels longer,
// which is 208 pixels more than 100 levels apart (measured).
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { engines, unavailable, open, showGoesOn, stalled, onceMoreIfStalled } = require('./browser.js');
const { decodePng } = require('./png.js');

const root = path.join(__dirname, '..', '..');
const capture = process.env.BRAKVANE_CAPTURE || path.join(root, 'build', 'capture', 'brakvane-capture');

const levelTolerance = 8;
const maxBeyond = 100;

// Just inside each scene and each cut, where the pulse, the bars, the scale
// and the scroller all show, and the black frame of exactly 68.5 s.
const moments = [0, 10.3, 25.3, 40.2, 54.9, 58.3, 62.3, 65.9, 68.5, 68.6, 80, 98.9];

function captureFrame(t, folder) {
  const out = path.join(folder, 'capture-' + t + '.png');
  execFileSync(capture, ['--at', String(t), out], { cwd: root, stdio: ['ignore', 'ignore', 'inherit'] });
  return decodePng(fs.readFileSync(out));
}

async function pageFrame(browser, address, t, spectrum) {
  return onceMoreIfStalled(`the page at t=${t}`, () => pageFrameOnce(browser, address, t, spectrum));
}

async function pageFrameOnce(browser, address, t, spectrum) {
  const page = await browser.newPage();
  try {
    await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
    await page.goto(address + '?t=' + t + (spectrum === undefined ? '' : '&spectrum=' + spectrum), { timeout: 60000 })
      .catch(async (error) => { throw await stalled(page, 'the page load', error); });
    // A few frames in, the moment has been drawn and presented.
    await showGoesOn(page, 'drawing the moment', () => Module.brakvaneFrames >= 3);
    const shown = await page.evaluate(() => Module.brakvaneTime);
    assert.ok(Math.abs(shown - t) < 1e-4, 'the page drew ' + shown + ' instead of ' + t);
    return decodePng(Buffer.from(await page.screenshot({ type: 'png', clip: { x: 0, y: 0, width: 800, height: 600 } })));
  } finally {
    await page.close();
  }
}

function compare(web, native) {
  assert.strictEqual(web.width, native.width);
  assert.strictEqual(web.height, native.height);
  let beyond = 0, worst = 0;
  for (let i = 0; i < web.rgb.length; i += 3) {
    let d = 0;
    for (let k = 0; k < 3; ++k) d = Math.max(d, Math.abs(web.rgb[i + k] - native.rgb[i + k]));
    worst = Math.max(worst, d);
    if (d > levelTolerance) ++beyond;
  }
  return { beyond, share: beyond / (web.width * web.height), worst };
}

for (const engine of engines) {
  test(`${engine} draws the timeline as the offline renderer does at every turning point`, { skip: unavailable(engine) }, async () => {
    assert.ok(fs.existsSync(capture), 'no ' + capture + ' (build it first)');
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'brakvane-web-'));
    const session = await open({ engine });
    try {
      for (const t of moments) {
        const native = captureFrame(t, folder);
        const web = await pageFrame(session.browser, session.address, t);
        const result = compare(web, native);
        console.log(`${engine} t=${t}: ${result.beyond} pixels beyond ${levelTolerance} levels (${(result.share * 100).toFixed(3)} %), largest difference ${result.worst}`);
        if (process.env.BRAKVANE_KEEP_FRAMES)
          fs.writeFileSync(path.join(folder, engine + '-' + t + '.raw'), web.rgb);
        assert.ok(result.beyond <= maxBeyond, `t=${t}: ${result.beyond} pixels differ by more than ${levelTolerance} levels`);
      }
    } finally {
      await session.close();
      if (!process.env.BRAKVANE_KEEP_FRAMES) fs.rmSync(folder, { recursive: true, force: true });
    }
  });
}

test('a fixed spectrum value scales the picture sequence', async () => {
  // At 60 s the sequence shows finnish3.png scaled by 0.2 * spectrum + 1: with
  // 0 it fills the frame exactly, with 1 it is 1.2 times as large, so the
  // frames differ (the hook's spectrum takes the track's place).
  const session = await open();
  try {
    const still = await pageFrame(session.browser, session.address, 60, 0);
    const grown = await pageFrame(session.browser, session.address, 60, 1);
    const result = compare(still, grown);
    assert.ok(result.share > 0.5, 'the spectrum value did not change the picture');
  } finally {
    await session.close();
  }
});
