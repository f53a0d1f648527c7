// A normal visit leaves a quiet console, in each browser engine and both
// ways a visit starts (sound allowed at once, or after a click): the
// program's own lines and nothing else, no error, no warning, no failed
// request.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const { engines, unavailable, open, watchConsole, untilQuietly } = require('./browser.js');

const programLines = ['Kalvor Brakvane 0.1', 'Loading Music: data/music/skalmtone.mp3',
                      'Loading texture: data/textures/danish.png', 'Loading texture: data/textures/text.png'];

for (const engine of engines) {
  for (const autoplay of ['allowed', 'gesture']) {
    test(`in ${engine}, a visit where sound starts ${autoplay === 'allowed' ? 'by itself' : 'on a click'} says nothing wrong`,
         { skip: unavailable(engine) }, async () => {
      const session = await open({ engine, autoplay });
      try {
        const page = await session.browser.newPage();
        const { lines, problems } = watchConsole(page);
        await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
        await page.goto(session.address);
        if (autoplay === 'gesture') {
          await untilQuietly(page, "document.getElementById('sign').textContent.trim() === 'click to start'");
          await page.click('#sign');
        }
        await page.waitForFunction(() => Module.brakvaneTime > 2, { polling: 50, timeout: 120000 });
        for (const line of programLines)
          assert.ok(lines.includes(line), 'missing console line: ' + line + '\n' + lines.join('\n'));
        assert.deepStrictEqual(problems, []);
      } finally {
        await session.close();
      }
    });
  }
}
