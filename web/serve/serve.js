// Serves a folder over HTTP on the loopback interface only: the web page and
// its files, with the types browsers insist on (application/wasm for
// streaming compilation). Used by `scripts/web.sh --serve` and the page's
// tests.
//   node web/serve/serve.js FOLDER [PORT]   (PORT 0 or none: any free port)
'use strict';

const http = require('http');
const fs = require('fs');
const path = require('path');

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.png': 'image/png',
};

// Starts serving root; resolves to the server once it listens.
function serve(root, port = 0) {
  const base = path.resolve(root);
  const server = http.createServer((request, response) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
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
    fs.readFile(file, (error, bytes) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {
        'Content-Type': types[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-store',
      });
      response.end(bytes);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

module.exports = { serve };

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
