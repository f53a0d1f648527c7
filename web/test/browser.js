// Headless Chromium (Debian's) driven by puppeteer-core, with WebGL on
// SwiftShader, and the page served from the loopback interface; and what the
// tests watch a visit through: the console, and the sound the page sends to
// its output.
'use strict';

const puppeteer = require('puppeteer-core');
const path = require('path');
const { serve } = require('../serve/serve.js');

const chromium = process.env.BRAKVANE_CHROMIUM || '/usr/bin/chromium';
const pageFolder = process.env.BRAKVANE_WEB_PAGE || path.join(__dirname, '..', '..', 'build-web');

// Serves the built page and starts the browser. autoplay: 'allowed' lets the
// page play sound without a click, 'gesture' holds it back until one, and
// none leaves the browser's own policy.
async function open({ autoplay } = {}) {
  const server = await serve(pageFolder);
  // SwiftShader named as ANGLE's back-end: the browser then composites on it
  // as on a GPU, instead of reading every WebGL frame back, which it reports
  // on the page's console as a stall. A visitor's GPU composites the same way.
  const args = ['--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader', '--disable-dev-shm-usage'];
  if (autoplay === 'allowed') args.push('--autoplay-policy=no-user-gesture-required');
  if (autoplay === 'gesture') args.push('--autoplay-policy=document-user-activation-required');
  let browser;
  try {
    browser = await puppeteer.launch({ executablePath: chromium, headless: true, args });
  } catch (error) {
    server.close();
    throw error;
  }
  const address = 'http://127.0.0.1:' + server.address().port + '/';
  return {
    browser,
    address,
    async close() {
      await browser.close();
      server.close();
    },
  };
}

// Everything a page says on its console, and every error, warning, uncaught
// exception and failed request, as lines.
function watchConsole(page) {
  const lines = [];
  const problems = [];
  page.on('console', (message) => {
    lines.push(message.text());
    if (message.type() === 'error' || message.type() === 'warn' || message.type() === 'warning')
      problems.push(message.type() + ': ' + message.text());
  });
  page.on('pageerror', (error) => problems.push('exception: ' + error.message));
  page.on('requestfailed', (request) => problems.push('request failed: ' + request.url()));
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push('HTTP ' + response.status() + ': ' + response.url());
  });
  return { lines, problems };
}

// Put in the page before its own script: every audio context the page makes
// sends its output through a tap that records each block of the first
// channel with the context frame it is played at (brakvaneTap.blocks), the
// context's output timestamps are sampled on their own (brakvaneTap.stamps),
// and the page's frames are logged with when they were drawn
// (brakvaneFrameLog).
function tapAudio() {
  window.brakvaneFrameLog = [];
  const tap = (window.brakvaneTap = { blocks: [], stamps: [], context: null });
  const Original = window.AudioContext;
  const processor = `registerProcessor('brakvane-tap', class extends AudioWorkletProcessor {
    process(inputs) {
      const channel = inputs[0] && inputs[0][0];
      if (channel) this.port.postMessage([currentFrame, channel.slice()]);
      return true;
    }
  });`;
  window.AudioContext = function(options) {
    const context = new Original(options);
    const output = context.destination;
    const mix = context.createGain();
    mix.connect(output);
    Object.defineProperty(context, 'destination', { value: mix });
    const module = URL.createObjectURL(new Blob([processor], { type: 'text/javascript' }));
    tap.ready = context.audioWorklet.addModule(module).then(() => {
      const node = new AudioWorkletNode(context, 'brakvane-tap');
      node.port.onmessage = (event) => tap.blocks.push(event.data);
      mix.connect(node);
      node.connect(output);
    });
    setInterval(() => {
      const stamp = context.getOutputTimestamp();
      if (stamp.performanceTime > 0) tap.stamps.push([stamp.performanceTime, stamp.contextTime]);
    }, 20);
    tap.context = context;
    return context;
  };
  window.AudioContext.prototype = Original.prototype;
}

// Waits until expression (JavaScript, in the page) is true, and returns its
// value. Puppeteer's own evaluations count as a user's gesture, which lets
// the page start its sound: these do not, for watching a page that must
// wait for the viewer.
async function untilQuietly(page, expression, timeout = 120000) {
  const session = await page.createCDPSession();
  try {
    const end = Date.now() + timeout;
    for (;;) {
      const { result, exceptionDetails } = await session.send('Runtime.evaluate', {
        expression, returnByValue: true, awaitPromise: true, userGesture: false,
      });
      if (!exceptionDetails && result.value) return result.value;
      if (Date.now() > end) throw new Error('timed out waiting quietly for ' + expression);
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  } finally {
    await session.detach();
  }
}

module.exports = { open, watchConsole, tapAudio, untilQuietly };
