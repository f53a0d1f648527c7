// The loopback server: compressed copies where the browser takes them and
// they save something, the same bytes after decompressing, nothing outside
// the folder.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { serve } = require('../serve/serve.js');

function get(port, name, acceptEncoding) {
  return new Promise((resolve, reject) => {
    const headers = acceptEncoding === undefined ? {} : { 'Accept-Encoding': acceptEncoding };
    http.get({ host: '127.0.0.1', port, path: name, headers }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body: Buffer.concat(chunks) }));
    }).on('error', reject);
  });
}

const unpack = { br: zlib.brotliDecompressSync, gzip: zlib.gunzipSync, undefined: (bytes) => bytes };

test('the server compresses what compresses, as the browser asks', async () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'brakvane-serve-'));
  const script = Buffer.from('var x = 1;\n'.repeat(2000));
  const data = require('crypto').randomBytes(20000); // like pictures and music: does not compress
  fs.writeFileSync(path.join(folder, 'index.js'), script);
  fs.writeFileSync(path.join(folder, 'index.data'), data);
  fs.writeFileSync(path.join(folder, 'random.js'), data);
  const server = await serve(folder);
  const port = server.address().port;
  try {
    for (const [name, accept, encoding, bytes] of [
      ['/index.js', 'gzip, deflate, br', 'br', script],
      ['/index.js', 'gzip', 'gzip', script],
      ['/index.js', 'br;q=0, gzip', 'gzip', script],
      ['/index.js', undefined, undefined, script],
      ['/index.js', 'identity', undefined, script],
      ['/index.data', 'gzip, br', undefined, data],  // compressed already
      ['/random.js', 'gzip, br', undefined, data],   // would not get smaller
    ]) {
      const response = await get(port, name, accept);
      assert.strictEqual(response.status, 200);
      assert.strictEqual(response.headers['content-encoding'], encoding, `${name} with ${accept}`);
      assert.strictEqual(Number(response.headers['content-length']), response.body.length);
      assert.ok(unpack[encoding](response.body).equals(bytes), `${name} with ${accept}: other bytes`);
    }
    assert.strictEqual((await get(port, '/..%2f..%2fetc%2fpasswd')).status, 403);
    assert.strictEqual((await get(port, '/missing.js')).status, 404);
  } finally {
    server.close();
    fs.rmSync(folder, { recursive: true, force: true });
  }
});
