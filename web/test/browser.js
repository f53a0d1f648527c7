// Headless Chromium (Debian's) driven by puppeteer-core, with WebGL on
// SwiftShader, and the page served from the loopback interface.
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
  const args = ['--no-sandbox', '--enable-unsafe-swiftshader', '--disable-dev-shm-usage'];
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

module.exports = { open };
