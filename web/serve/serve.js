// Serves a folder over HTTP on the loopback interface only: the web page and
// its files, with the types browsers insist on (application/wasm for
// streaming compilation), compressed (Brotli or gzip, as the browser asks)
// where that makes them smaller. Used by `scripts/web.sh --serve` and the
// page's tests. A folder asked for without its trailing slash is redirected
// to it, as static hosts do, so that the page's relative addresses resolve.
//   node web/serve/serve.js FOLDER [PORT]   (PORT 0 or none: any free port)
'use strict';

const http = require('http');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.png': 'image/png',
};

// What compresses: the page, its code and its program. The data package
// holds pictures and music, compressed already. A compressed copy is sent
// only when it saves at least worthwhileSaving.
const compressible = new Set(['.html', '.js', '.wasm', '.css', '.json', '.svg', '.txt']);
const worthwhileSaving = 0.1;

// The encodings this server makes, in order of preference.
const encoders = [
  ['br', (bytes) => zlib.brotliCompressSync(bytes, { params: { [zlib.constants.BROTLI_PARAM_QUALITY]: 5 } })],
  ['gzip', (bytes) => zlib.gzipSync(bytes, { level: 6 })],
];

// The encodings a request's Accept-Encoding allows (q=0 refuses one).
function accepted(header) {
  const allowed = new Set();
  for (const part of String(header || '').split(',')) {
    const [name, ...parameters] = part.trim().toLowerCase().split(';');
    const refused = parameters.some((p) => /^\s*q\s*=\s*0(\.0*)?\s*$/.test(p));
    if (name && !refused) allowed.add(name);
  }
  return allowed;
}

// Compressed copies, made once per file version.
const copies = new Map();
function compressedCopy(file, stat, bytes, encoding, encode) {
  const key = file + '\0' + stat.mtimeMs + '\0' + stat.size + '\0' + encoding;
  if (!copies.has(key)) {
    const packed = encode(bytes);
    copies.set(key, packed.length <= bytes.length * (1 - worthwhileSaving) ? packed : null);
  }
  return copies.get(key);
}

// Starts serving root; resolves to the server once it listens. head (for
// the tests): a function whose HTML is written at the start of each page's
// head, sent as it is.
function serve(root, port = 0, { head } = {}) {
  const base = path.resolve(root);
  const server = http.createServer((request, response) => {
    let name, address;
    try {
      address = new URL(request.url, 'http://localhost');
      name = decodeURIComponent(address.pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (name.endsWith('/')) name += 'index.html';
    const file = path.resolve(base, '.' + name);
    // Nothing outside the folder is served.
    if (file !== base && !file.startsWith(base + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.stat(file, (statError, stat) => {
      if (!statError && stat.isDirectory() && !name.endsWith('/')) {
        response.writeHead(301, { 'Location': address.pathname + '/' + address.search, 'Content-Length': 0 }).end();
        return;
      }
      if (statError || !stat.isFile()) {
        response.writeHead(404).end();
        return;
      }
      fs.readFile(file, (error, bytes) => {
        if (error) {
          response.writeHead(404).end();
          return;
        }
        const written = head && path.extname(file) === '.html';
        if (written) bytes = Buffer.from(String(bytes).replace(/<head>/i, (tag) => tag + head()));
        const headers = {
          'Content-Type': types[path.extname(file)] || 'application/octet-stream',
          'Cache-Control': 'no-store',
          'Vary': 'Accept-Encoding',
        };
        const allowed = compressible.has(path.extname(file)) && !written ? accepted(request.headers['accept-encoding']) : new Set();
        let body = bytes;
        for (const [encoding, encode] of encoders) {
          if (!allowed.has(encoding)) continue;
          const packed = compressedCopy(file, stat, bytes, encoding, encode);
          if (packed) {
            body = packed;
            headers['Content-Encoding'] = encoding;
          }
          break;
        }
        headers['Content-Length'] = body.length;
        response.writeHead(200, headers);
        response.end(request.method === 'HEAD' ? undefined : body);
      });
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

module.exports = { serve, accepted };

if (require.main === module) {
  const [root, port] = process.argv.slice(2);
  if (!root || !fs.existsSync(path.join(root, 'index.html'))) {
    console.error('serve: no page in ' + root + ' (build it with scripts/web.sh)');
    process.exit(1);
  }
  serve(root, Number(port || 0)).then((server) => {
    console.log('Serving the demo at http://127.0.0.1:' + server.address().port + '/ (Ctrl+C stops)');
  }, (error) => {
    console.error('serve: ' + error.message);
    process.exit(1);
  });
}
