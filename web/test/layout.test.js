// The page's canvas in windows of other shapes, a phone's among them, and full
// screen: the 800 x 600 drawing is scaled to the window with its aspect kept
// and centred, a click goes full screen and Escape leaves it.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const { open } = require('./browser.js');

test('the canvas keeps its aspect in any window; a click goes full screen, Escape leaves it', async () => {
  const session = await open();
  try {
    const page = await session.browser.newPage();
    await page.goto(session.address + '?t=25.3');
    await page.waitForFunction(() => Module.brakvaneFrames >= 1, { timeout: 60000 });
    const box = () => page.evaluate(() => {
      const canvas = document.getElementById('canvas');
      const r = canvas.getBoundingClientRect();
      return { x: r.x, y: r.y, width: r.width, height: r.height, pixels: [canvas.width, canvas.height] };
    });
    for (const [width, height, expected, phone] of [
      [1000, 600, { x: 100, y: 0, width: 800, height: 600 }],   // wider: bars left and right
      [800, 900, { x: 0, y: 150, width: 800, height: 600 }],    // taller: bars above and below
      [400, 300, { x: 0, y: 0, width: 400, height: 300 }],      // smaller: scaled down
      [390, 844, { x: 0, y: 275.75, width: 390, height: 292.5 }, true], // a phone held upright
    ]) {
      await page.setViewport({ width, height, deviceScaleFactor: phone ? 3 : 1, isMobile: !!phone, hasTouch: !!phone });
      const shown = await box();
      for (const key of ['x', 'y', 'width', 'height'])
        assert.ok(Math.abs(shown[key] - expected[key]) < 1, `${width}x${height}: ${key} is ${shown[key]}, not ${expected[key]}`);
      assert.deepStrictEqual(shown.pixels, [800, 600], 'the drawing buffer must stay 800 x 600');
    }

    await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
    await page.click('#canvas');
    await page.waitForFunction(() => document.fullscreenElement !== null, { timeout: 10000 });
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.fullscreenElement === null, { timeout: 10000 });
  } finally {
    await session.close();
  }
});
