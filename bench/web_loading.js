// How long a visit to the web page takes to its first paint and its first
// drawn frame, against an empty page's first paint from the same kind of
// server in the same run (medians of 3, from navigation, on the loopback);
// then one whole show (about 100 s), with how long drawing the first frame
// after each cut took against the median frame: every scene is drawn once
// while the page loads, so no cut should do first-time work.
// Needs the page built (scripts/web.sh) and the web tests' packages
// (npm ci in web/test):   node bench/web_loading.js   (--no-show: loading only)
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { open, tapAudio } = require('../web/test/browser.js');
const { serve } = require('../web/serve/serve.js');

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

// Where the schedule cuts from one scene or picture to the next, in seconds.
const cuts = [10.2, 40.1, 54.8, 58.2, 62.2, 65.8, 68.5];

async function showFrames(session) {
  const page = await session.browser.newPage();
  await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
  await page.evaluateOnNewDocument(tapAudio);
  await page.goto(session.address);
  await page.waitForFunction(() => demoStage === 'over', { polling: 500, timeout: 300000 });
  const log = await page.evaluate(() => brakvaneFrameLog);
  await page.close();
  // [drawn at, t, ms drawing, frame start], while the show plays.
  const shown = log.filter(([, t]) => t > 0);
  const typical = median(shown.map(([, , ms]) => ms));
  let worst = 0;
  for (const cut of cuts) {
    const first = shown.find(([, t]) => t > cut);
    if (!first) continue;
    worst = Math.max(worst, first[2]);
    console.log(`cut at ${cut} s: first frame (t=${first[1].toFixed(3)}) drawn in ${first[2].toFixed(2)} ms`);
  }
  const slowest = shown.reduce((a, b) => (b[2] > a[2] ? b : a));
  console.log(`median frame drawn in ${typical.toFixed(2)} ms over ${shown.length} frames; ` +
              `slowest frame of the show ${slowest[2].toFixed(2)} ms (t=${slowest[1].toFixed(3)})`);
  console.log(`RATIO slowest_cut_frame/median_frame ${(worst / typical).toFixed(2)}`);
}

async function main() {
  const empty = fs.mkdtempSync(path.join(os.tmpdir(), 'brakvane-empty-'));
  fs.writeFileSync(path.join(empty, 'index.html'), '<!doctype html><html><head><link rel="icon" href="data:,"></head><body><p>.</p></body></html>');
  const emptyServer = await serve(empty);
  const session = await open({ autoplay: 'allowed' });
  try {
    const emptyLoads = [], paints = [], frames = [];
    for (let run = 0; run < 3; ++run) {
      const blank = await session.browser.newPage();
      await blank.goto('http://127.0.0.1:' + emptyServer.address().port + '/', { waitUntil: 'load' });
      await blank.waitForFunction(() => performance.getEntriesByType('paint').some((e) => e.name === 'first-contentful-paint'),
                                  { polling: 10, timeout: 60000 });
      emptyLoads.push(await blank.evaluate(() => performance.getEntriesByType('paint')
                                                     .find((e) => e.name === 'first-contentful-paint').startTime));
      await blank.close();

      const page = await session.browser.newPage();
      await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
      await page.evaluateOnNewDocument(tapAudio);
      await page.goto(session.address, { waitUntil: 'domcontentloaded' });
      await page.waitForFunction(() => window.brakvaneFrameLog.length > 0 &&
                                 performance.getEntriesByType('paint').some((e) => e.name === 'first-contentful-paint'),
                                 { polling: 10, timeout: 120000 });
      const timing = await page.evaluate(() => ({
        paint: performance.getEntriesByType('paint').find((e) => e.name === 'first-contentful-paint').startTime,
        frame: brakvaneFrameLog[0][0],
      }));
      paints.push(timing.paint);
      frames.push(timing.frame);
      await page.close();
    }
    const base = median(emptyLoads);
    console.log(`first paint ${median(paints).toFixed(0)} ms, first frame ${median(frames).toFixed(0)} ms, ` +
                `an empty page's first paint ${base.toFixed(0)} ms (medians of 3, from navigation, loopback)`);
    console.log(`RATIO first_paint/empty_page ${(median(paints) / base).toFixed(2)}`);
    console.log(`RATIO first_frame/empty_page ${(median(frames) / base).toFixed(2)}`);
    if (!process.argv.includes('--no-show')) await showFrames(session);
  } finally {
    await session.close();
    emptyServer.close();
    fs.rmSync(empty, { recursive: true, force: true });
  }
}

main().then(() => process.exit(0), (error) => {
  console.error(error);
  process.exit(1);
});
