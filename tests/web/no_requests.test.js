// The page served from a static host (a server on the loopback address)
// asks for nothing but itself while it builds and checks an installer, and
// its Content-Security-Policy stops a request the page or its worker would
// make. Another page on the host uses its interface, as docs/web-page.md
// says it can.
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const {after, before, test} = require('node:test');
const {PAGE, launch, open, pack, sampleFiles} = require('./browser.js');

const files = sampleFiles();
const served = [];  // every path the server was asked for
let server;
let origin;
let browser;

before(async () => {
  const page = fs.readFileSync(PAGE, 'utf8');
  const element = (id) => page.match(new RegExp(`<script[^>]* id="${id}">[^]*?</script>`))[0];
  const pages = {
    '/kestrune-pack.html': page,
    '/other.html': `<!DOCTYPE html><meta charset="utf-8"><title>Another page</title>
      <meta http-equiv="Content-Security-Policy" content="script-src 'unsafe-inline' 'wasm-unsafe-eval'; worker-src blob:">
      ${element('kestrune-engine')}${element('kestrune-api')}`,
  };
  server = http.createServer((request, response) => {
    served.push(request.url);
    if (!pages[request.url]) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, {'Content-Type': 'text/html; charset=utf-8'}).end(pages[request.url]);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await launch();
});
after(async () => {
  await browser.close();
  server.close();
});

test('building and checking an installer asks for nothing but the page', async () => {
  const {page, requests, errors} = await open(browser, `${origin}/kestrune-pack.html`);
  await (await page.$('#main-file')).uploadFile(files.main);
  await (await page.$('#second-file')).uploadFile(files.second);
  await (await page.$('#extra-file')).uploadFile(files.extra);
  await page.click('#build-button');
  await page.waitForSelector('#build-download a');
  // An installer checked in the page's second part, its files offered.
  const installer = path.join(files.dir, 'NightSkySetup.exe');
  assert.equal(pack(['build', '--main', files.main, '--second', files.second, '-o', installer]).status, 0);
  await (await page.$('#check-file')).uploadFile(installer);
  await page.waitForSelector('#check-files a');
  assert.deepEqual(requests.filter((url) => url !== `${origin}/kestrune-pack.html` && !/^(blob|data):/.test(url)), []);
  assert.deepEqual(served, ['/kestrune-pack.html']);
  assert.deepEqual(errors, []);
});

test('the page and its worker cannot reach the network', async () => {
  const {page} = await open(browser, `${origin}/kestrune-pack.html`);
  const attempt = async (url) => {
    try {
      await fetch(url);
      return 'fetched';
    } catch (error) {
      return 'blocked';
    }
  };
  const fromPage = await page.evaluate(attempt, `${origin}/from-page`);
  await page.evaluate(() => kestrune.defaults());  // the worker runs
  const worker = page.workers()[0];
  assert.ok(worker, 'the engine runs in a worker');
  const fromWorker = await worker.evaluate(attempt, `${origin}/from-worker`);
  assert.deepEqual([fromPage, fromWorker], ['blocked', 'blocked']);
  assert.deepEqual(served.filter((url) => url.startsWith('/from-')), []);
});

test('another page uses the interface, with its scripts or the page in a frame', async () => {
  const page = await browser.newPage();
  await page.goto(`${origin}/other.html`);
  const sound = await page.evaluate(async (page) => {
    const options = {main: new File(['a screen saver'], 'A.SCR'), second: new File(['a readme'], 'README.TXT')};
    const frame = document.createElement('iframe');
    frame.src = page;
    await new Promise((resolve) => frame.addEventListener('load', resolve) || document.body.append(frame));
    const built = [await kestrune.build(options), await frame.contentWindow.kestrune.build(options)];
    return Promise.all(built.map(async (bytes) => (await kestrune.verify(bytes)).sound));
  }, `${origin}/kestrune-pack.html`);
  assert.deepEqual(sound, [true, true]);
});
