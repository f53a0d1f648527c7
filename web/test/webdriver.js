// WebKit (MiniBrowser, Debian's WebKitGTK) driven through WebKitWebDriver:
// a small W3C WebDriver client over HTTP, which gives the tests the part of
// Puppeteer's browser and page they use, so that WebKit is one more engine
// of their tables. One page at a time, in MiniBrowser's one window.
//
// Classic WebDriver has no scripts put in before the page's own and no
// console: the page's server writes the scripts into index.html's head
// (preload below), with one that keeps what the page says on its console
// and its uncaught errors, which the client hands to the page's 'console'
// and 'pageerror' listeners whenever it asks the page anything. Failed
// requests are not seen. Scripts run through WebDriver are not a user's
// gesture: a page waiting for one stays waiting (evaluate is quiet).
'use strict';

const { spawn } = require('child_process');
const http = require('http');
const net = require('net');

// Put in the page first: what it says on its console, and its uncaught errors.
function keepConsole() {
  const said = (window.brakvaneConsole = []);
  for (const type of ['log', 'info', 'warn', 'error']) {
    const original = console[type].bind(console);
    console[type] = (...args) => {
      said.push([type === 'warn' ? 'warning' : type, args.map(String).join(' ')]);
      original(...args);
    };
  }
  window.addEventListener('error', (event) => event.target === window && said.push(['pageerror', event.message]), true);
  window.addEventListener('unhandledrejection', (event) => said.push(['pageerror', String(event.reason)]));
}

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    }).on('error', reject);
  });
}

// One command to the driver; its value, or an error with the driver's message.
function command(port, method, path, body) {
  return new Promise((resolve, reject) => {
    const data = body === undefined ? '' : JSON.stringify(body);
    const request = http.request({ host: '127.0.0.1', port, method, path, headers: {
      'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(data) } }, (response) => {
      let text = '';
      response.on('data', (chunk) => (text += chunk));
      response.on('end', () => {
        let answer;
        try {
          answer = JSON.parse(text || '{}');
        } catch {
          return reject(new Error(`WebDriver ${method} ${path}: ${text}`));
        }
        if (answer.value && answer.value.error)
          return reject(new Error(`WebDriver ${method} ${path}: ${answer.value.error}: ${answer.value.message}`));
        resolve(answer.value);
      });
    });
    request.on('error', reject);
    request.end(data);
  });
}

// Starts the driver and MiniBrowser (binary, with args); resolves to a
// browser whose pages' scripts are written into the page by the server,
// through preload (which the caller gives the server).
async function launch({ binary, args }) {
  const port = await freePort();
  // In a process group of its own with the browser it starts, which goes with it.
  const driver = spawn('WebKitWebDriver', ['--port=' + port], { stdio: ['ignore', 'ignore', 'pipe'], detached: true });
  const stop = () => {
    try {
      process.kill(-driver.pid, 'SIGKILL');
    } catch {}
  };
  // Whether the tests end or are stopped, as Puppeteer does for its browsers.
  const stopped = (signal) => {
    stop();
    process.kill(process.pid, signal);
  };
  process.once('exit', stop);
  for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.once(signal, stopped);
  let driverSaid = '';
  driver.stderr.on('data', (chunk) => (driverSaid = (driverSaid + chunk).slice(-2000)));
  const gone = new Promise((resolve) => driver.on('exit', resolve));
  let session;
  for (let tries = 0; !session; ++tries) {
    try {
      session = (await command(port, 'POST', '/session', { capabilities: { alwaysMatch: {
        'webkitgtk:browserOptions': { binary, args } } } })).sessionId;
    } catch (error) {
      if (tries > 100 || driver.exitCode !== null) {
        stop();
        throw new Error('WebKitWebDriver did not start MiniBrowser: ' + error.message + '\n' + driverSaid);
      }
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
  }
  const call = (method, path, body) => command(port, method, `/session/${session}${path}`, body);
  const scripts = [];
  let page = null;
  const browser = {
    protocol: 'webdriver',
    // What the server writes into the page's head, before its own script.
    preload: () => scripts.map((s) => `<script>(${s})();</script>`).join(''),
    async newPage() {
      if (page) await page.close();
      scripts.splice(0, scripts.length, keepConsole.toString());
      page = makePage(call, scripts, browser);
      return page;
    },
    async close() {
      await call('DELETE', '').catch(() => {});
      stop();
      await gone;
      process.removeListener('exit', stop);
      for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.removeListener(signal, stopped);
    },
  };
  return browser;
}

function makePage(call, scripts, browser) {
  const listeners = { console: [], pageerror: [] };
  let chrome = null; // the window's height less the page's
  // Hands what the page said since last asked to the listeners.
  const drain = async () => {
    const said = await call('POST', '/execute/sync', {
      script: 'const s = window.brakvaneConsole || []; return s.splice(0, s.length);', args: [] }).catch(() => []);
    for (const [type, text] of said) {
      if (type === 'pageerror') listeners.pageerror.forEach((f) => f(new Error(text)));
      else listeners.console.forEach((f) => f({ type: () => type, text: () => text }));
    }
  };
  // Runs fn(arg) in the page, awaiting a promise; its value through JSON.
  const run = async (fn, arg) => {
    const outcome = await call('POST', '/execute/async', { args: [arg === undefined ? null : arg], script: `
      const done = arguments[arguments.length - 1];
      Promise.resolve().then(() => (${fn})(arguments[0]))
        .then((value) => done({ value: JSON.stringify(value) }), (error) => done({ error: String(error) }));` });
    await drain();
    if (outcome.error) throw new Error(outcome.error);
    return outcome.value === undefined ? undefined : JSON.parse(outcome.value);
  };
  return {
    browser: () => browser,
    on(event, listener) {
      if (listeners[event]) listeners[event].push(listener);
    },
    evaluateOnNewDocument(fn) {
      scripts.push(fn.toString());
    },
    async setViewport({ width, height }) {
      if (chrome === null) {
        const [outer, inner] = await run(() => [outerHeight, innerHeight]);
        chrome = outer - inner;
      }
      await call('POST', '/window/rect', { width, height: height + chrome });
    },
    async goto(address, { timeout = 60000 } = {}) {
      await call('POST', '/timeouts', { pageLoad: timeout, script: 300000 });
      await call('POST', '/url', { url: address });
    },
    evaluate: run,
    // For evaluateQuietly: an expression's value, as the page itself would get it.
    evaluateExpression: (expression) => run(`() => (${expression})`),
    async waitForFunction(fn, { polling = 50, timeout = 30000 } = {}, arg) {
      const end = Date.now() + timeout;
      for (;;) {
        if (await run(fn, arg)) return;
        if (Date.now() > end) throw new Error(`Waiting failed: ${timeout}ms exceeded`);
        await new Promise((resolve) => setTimeout(resolve, polling));
      }
    },
    async click(selector) {
      const element = await call('POST', '/element', { using: 'css selector', value: selector });
      await call('POST', `/element/${Object.values(element)[0]}/click`, {});
    },
    keyboard: {
      press: (key) => call('POST', '/actions', { actions: [{ type: 'key', id: 'keys', actions: [
        { type: 'keyDown', value: key }, { type: 'keyUp', value: key }] }] }),
    },
    // The page's view as a PNG; the tests' clips are the whole 800 x 600 view.
    screenshot: async () => Buffer.from(await call('GET', '/screenshot'), 'base64'),
    async close() {
      await call('POST', '/url', { url: 'about:blank' }).catch(() => {});
    },
  };
}

module.exports = { launch };
