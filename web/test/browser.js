// The three browser engines the page is tried in, Debian's Chromium,
// Firefox ESR and WebKitGTK (the engine of Safari): the first two driven by
// puppeteer-core (Chromium over its DevTools protocol, Firefox over WebDriver
// BiDi), WebKit's MiniBrowser through WebKitWebDriver (webdriver.js), with
// the page served from the loopback interface; and what the tests watch a
// visit through: the console, and the sound the page sends to its output.
//
// Chromium runs headless with WebGL on SwiftShader. Firefox has no WebGL
// when headless and MiniBrowser has no headless mode, so they run in a window
// on the X server in DISPLAY (Xvfb, started by scripts/web-test.sh). All play
// to the sound server in PULSE_SERVER (a private PulseAudio with a null sink,
// started there too).
'use strict';

const puppeteer = require('puppeteer-core');
const fs = require('fs');
const path = require('path');
const { serve } = require('../serve/serve.js');
const webdriver = require('./webdriver.js');

// MiniBrowser sits in the WebKitGTK library's folder, under the machine's multiarch name.
const miniBrowser = () => {
  const found = fs.readdirSync('/usr/lib').map((dir) => path.join('/usr/lib', dir, 'webkit2gtk-4.1', 'MiniBrowser'));
  return found.find((file) => fs.existsSync(file)) || '/usr/lib/<multiarch>/webkit2gtk-4.1/MiniBrowser';
};
const executables = {
  chromium: process.env.BRAKVANE_CHROMIUM || '/usr/bin/chromium',
  firefox: process.env.BRAKVANE_FIREFOX || '/usr/bin/firefox-esr',
  webkit: process.env.BRAKVANE_MINIBROWSER || miniBrowser(),
};
const engines = Object.keys(executables);
const pageFolder = process.env.BRAKVANE_WEB_PAGE || path.join(__dirname, '..', '..', 'build-web');

// Why engine cannot run the tests here, or false when it can: for a test's
// skip option, so that the reason is printed.
function unavailable(engine) {
  if (!fs.existsSync(executables[engine])) return executables[engine] + ' is not installed (scripts/web-test.sh installs it)';
  if (engine === 'webkit' && !fs.existsSync('/usr/bin/WebKitWebDriver'))
    return 'WebKitWebDriver is not installed (scripts/web-test.sh installs it)';
  if (engine !== 'chromium' && !process.env.DISPLAY)
    return `${engine} runs in a window: it needs an X server in DISPLAY (scripts/web-test.sh starts Xvfb)`;
  if (engine !== 'chromium' && !process.env.PULSE_SERVER)
    return `${engine} needs a sound server in PULSE_SERVER for its audio to run (scripts/web-test.sh starts one)`;
  return false;
}

function launchChromium(autoplay) {
  // SwiftShader named as ANGLE's back-end: the browser then composites on it
  // as on a GPU, instead of reading every WebGL frame back, which it reports
  // on the page's console as a stall. A visitor's GPU composites the same way.
  const args = ['--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader', '--disable-dev-shm-usage'];
  if (autoplay === 'allowed') args.push('--autoplay-policy=no-user-gesture-required');
  if (autoplay === 'gesture') args.push('--autoplay-policy=document-user-activation-required');
  // Puppeteer mutes a headless Chromium; the page's sound is to reach the
  // sound server in PULSE_SERVER, where the sync test records it.
  return puppeteer.launch({ executablePath: executables.chromium, headless: true, args, ignoreDefaultArgs: ['--mute-audio'] });
}

function launchFirefox(autoplay) {
  const prefs = {
    // Mesa's software renderer, which Firefox would otherwise refuse for WebGL.
    'webgl.force-enabled': true,
    'full-screen-api.warning.timeout': 0,
  };
  if (autoplay === 'allowed') Object.assign(prefs, { 'media.autoplay.default': 0, 'media.autoplay.block-webaudio': false });
  if (autoplay === 'gesture') Object.assign(prefs, { 'media.autoplay.default': 1, 'media.autoplay.block-webaudio': true });
  return puppeteer.launch({ browser: 'firefox', executablePath: executables.firefox, headless: false, extraPrefsFirefox: prefs });
}

function launchWebKit(autoplay) {
  const args = ['--automation'];
  if (autoplay === 'allowed') args.push('--autoplay-policy=allow');
  if (autoplay === 'gesture') args.push('--autoplay-policy=deny');
  return webdriver.launch({ binary: executables.webkit, args });
}
const launchers = { chromium: launchChromium, firefox: launchFirefox, webkit: launchWebKit };

// Serves the built page (or folder) and starts the browser engine. autoplay:
// 'allowed' lets the page play sound without a click, 'gesture' holds it
// back until one, and none leaves the browser's own policy.
async function open({ engine = 'chromium', autoplay, folder = pageFolder } = {}) {
  let browser;
  // WebKit's scripts before the page's are written in by the server.
  const server = await serve(folder, 0, { head: () => (browser && browser.preload ? browser.preload() : '') });
  try {
    browser = await launchers[engine](autoplay);
  } catch (error) {
    server.close();
    throw error;
  }
  const address = 'http://127.0.0.1:' + server.address().port + '/';
  return {
    engine,
    browser,
    server,
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
  page.on('requestfailed', (request) => {
    const reason = request.failure() ? request.failure().errorText : '';
    // Chromium (156, reading the data file as Emscripten 3.1.69 streams it)
    // now and then calls that request aborted after the page has read all of
    // it; the show then runs from that data, which the tests see.
    const answered = request.response() && request.response().ok();
    if (reason === 'net::ERR_ABORTED' && request.url().endsWith('/index.data') && answered) return;
    problems.push('request failed: ' + request.url() + (reason ? ' (' + reason + ')' : ''));
  });
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push('HTTP ' + response.status() + ': ' + response.url());
  });
  return { lines, problems };
}

// Put in the page before its own script: every audio context the page makes
// sends its output through a tap that records each block of the first
// channel with the context frame it is played at (brakvaneTap.blocks), and
// the page's frames are logged (brakvaneFrameLog, see page.js).
function tapAudio() {
  window.brakvaneFrameLog = [];
  const tap = (window.brakvaneTap = { blocks: [], context: null });
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
    tap.context = context;
    return context;
  };
  window.AudioContext.prototype = Original.prototype;
}

// Evaluates expression (JavaScript, in the page; a promise is awaited) as
// the page itself would, not as a user's gesture: Puppeteer's own
// evaluations count as one, which lets the page start its sound. The value
// comes back through JSON.
async function evaluateQuietly(page, expression) {
  if (page.evaluateExpression) return page.evaluateExpression(expression);
  const wrapped = `(async () => JSON.stringify(await (${expression})))()`;
  if (page.browser().protocol === 'webDriverBiDi') {
    const realm = page.mainFrame().browsingContext.defaultRealm;
    const outcome = await realm.evaluate(wrapped, true, { userActivation: false });
    if (outcome.type !== 'success') throw new Error(outcome.exceptionDetails ? outcome.exceptionDetails.text : 'evaluation failed');
    return outcome.result.value === undefined ? undefined : JSON.parse(outcome.result.value);
  }
  const session = await page.createCDPSession();
  try {
    const { result, exceptionDetails } = await session.send('Runtime.evaluate', {
      expression: wrapped, returnByValue: true, awaitPromise: true, userGesture: false,
    });
    if (exceptionDetails) throw new Error(exceptionDetails.text);
    return result.value === undefined ? undefined : JSON.parse(result.value);
  } finally {
    await session.detach();
  }
}

// Waits until expression is true, evaluated quietly, and returns its value:
// for watching a page that must wait for the viewer.
async function untilQuietly(page, expression, timeout = 120000) {
  const end = Date.now() + timeout;
  for (;;) {
    const value = await evaluateQuietly(page, expression).catch(() => undefined);
    if (value) return value;
    if (Date.now() > end) throw new Error('timed out waiting quietly for ' + expression);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// What the page shows, for a report: its sign, stage, frames and moment.
async function pageState(page) {
  const state = page.evaluate(() => ({
    sign: document.getElementById('sign').hidden ? '' : document.getElementById('sign').textContent.trim(),
    stage: window.demoStage, frames: window.Module && Module.brakvaneFrames, t: window.Module && Module.brakvaneTime,
    visibility: document.visibilityState,
  }));
  const late = new Promise((resolve) => setTimeout(() => resolve('the page does not answer'), 5000));
  return JSON.stringify(await Promise.race([state, late]).catch((e) => 'the page is gone: ' + e.message));
}

// The error for what stalled in the page, saying what the page showed.
async function stalled(page, what, error) {
  const stall = new Error(`${what} stalled; the page showed ${await pageState(page)} (${error.message})`);
  stall.stalled = true;
  return stall;
}

// Waits until fn (in the page, with arg) is true: the page loading or the
// show going on; a stall when it does not come.
async function showGoesOn(page, what, fn, arg, timeout = 60000) {
  try {
    await page.waitForFunction(fn, { polling: 50, timeout }, arg);
  } catch (error) {
    throw await stalled(page, what, error);
  }
}

// Runs attempt, and once more if its page stalled (Firefox's starts now and
// then do): a second stall is reported with what the page showed.
async function onceMoreIfStalled(label, attempt) {
  try {
    return await attempt();
  } catch (error) {
    if (!error.stalled) throw error;
    console.log(`${label}: ${error.message}; tried once more`);
    return attempt();
  }
}

module.exports = { engines, unavailable, open, watchConsole, tapAudio, untilQuietly, showGoesOn, stalled, onceMoreIfStalled };
