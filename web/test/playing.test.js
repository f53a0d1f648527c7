// The page left to play, with the browser letting sound start without a
// click: the audio context runs, the frames advance with the music, the
// picture never runs ahead of what has been played, the "click to start" sign
// is gone, and the program's console lines reach the browser's console.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const { open } = require('./browser.js');

test('the page plays: audio runs, frames advance with the music, console lines arrive', async () => {
  const session = await open({ autoplay: 'allowed' });
  try {
    const page = await session.browser.newPage();
    const lines = [];
    page.on('console', (message) => lines.push(message.text()));
    await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
    await page.goto(session.address);
    await page.waitForFunction(() => Module.brakvaneFrames > 0 && Module.brakvaneTime > 0, { timeout: 120000 });

    const sample = () => page.evaluate(() => ({
      frames: Module.brakvaneFrames,
      t: Module.brakvaneTime,
      state: Module.SDL2.audioContext.state,
      contextTime: Module.SDL2.audioContext.currentTime,
      sign: getComputedStyle(document.getElementById('start')).display,
    }));
    const first = await sample();
    // The picture follows the music: it advances while the context's clock does.
    await page.waitForFunction((t) => Module.brakvaneTime > t + 0.5, { timeout: 60000 }, first.t);
    const second = await sample();

    assert.strictEqual(first.state, 'running');
    assert.strictEqual(second.state, 'running');
    assert.ok(second.frames > first.frames, 'no new frames');
    assert.ok(second.t > first.t, 'the moment did not advance');
    assert.ok(second.contextTime > first.contextTime, 'the audio clock did not advance');
    assert.ok(second.t <= second.contextTime, 'the picture is ahead of the music');
    assert.strictEqual(second.sign, 'none', 'the "click to start" sign is still showing');

    for (const line of ['Kalvor Brakvane 0.1', 'Loading Music: data/music/skalmtone.mp3',
                        'Loading texture: data/textures/danish.png', 'Loading texture: data/textures/text.png'])
      assert.ok(lines.includes(line), 'missing console line: ' + line + '\n' + lines.join('\n'));
  } finally {
    await session.close();
  }
});

test('where the browser asks for a gesture, the page waits on its sign until a click', async (context) => {
  const session = await open({ autoplay: 'gesture' });
  try {
    const page = await session.browser.newPage();
    await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
    await page.goto(session.address);
    await page.waitForFunction(() => Module.brakvaneFrames > 2, { timeout: 120000 });
    const before = await page.evaluate(() => ({
      state: Module.SDL2.audioContext.state,
      t: Module.brakvaneTime,
      sign: getComputedStyle(document.getElementById('start')).display,
    }));
    if (before.state === 'running') {
      // This browser let the sound start on its own: nothing to wait for.
      context.skip('the browser started the sound without a gesture');
      return;
    }
    assert.strictEqual(before.t, 0, 'the timeline ran without the music');
    await page.waitForFunction(() => getComputedStyle(document.getElementById('start')).display !== 'none');
    await page.click('#start');
    await page.waitForFunction(() => Module.SDL2.audioContext.state === 'running', { timeout: 30000 });
    await page.waitForFunction(() => Module.brakvaneTime > 0, { timeout: 60000 });
    await page.waitForFunction(() => getComputedStyle(document.getElementById('start')).display === 'none');
  } finally {
    await session.close();
  }
});
