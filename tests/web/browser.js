// What the browser tests share: Debian's headless Chromium driven by
// puppeteer-core (which downloads no browser of its own), the page under
// test, kestrune-pack to hold it to, and sample files. tests/web/CMakeLists.txt
// passes the paths in the environment.
'use strict';
const childProcess = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const PAGE = process.env.KESTRUNE_PAGE;
const PACK = process.env.KESTRUNE_PACK;
const OUT = process.env.KESTRUNE_WEB_OUT || os.tmpdir();
const CHROMIUM = process.env.KESTRUNE_CHROMIUM || '/usr/bin/chromium';

// As root Chromium runs only without its sandbox; nothing it would fetch by
// itself (updates, sync, field trials) is wanted in a test.
const FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
               '--disable-component-update', '--disable-sync', '--no-first-run'];

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrune-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: [...FLAGS, `--user-data-dir=${profile}`],
  });
  // Chromium's last processes may still be writing there as it disconnects.
  browser.on('disconnected', () => fs.rm(profile, {recursive: true, force: true, maxRetries: 10}, () => {}));
  return browser;
}

// Opens url in a new page and waits until its form is ready; requests holds
// every URL the page and its worker asked for, errors what their scripts threw.
async function open(browser, url = `file://${PAGE}`) {
  const page = await browser.newPage();
  const requests = [];
  const errors = [];
  page.on('request', (request) => requests.push(request.url()));
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(url);
  await page.waitForSelector('body[data-ready="true"]', {timeout: 30000});
  return {page, requests, errors};
}

// Bytes from a seeded generator: random enough to need a real parse, with
// repeats near and far as programs have.
function sampleBytes(size, seed) {
  const bytes = new Uint8Array(size);
  let state = seed >>> 0;
  const next = () => (state = (Math.imul(state, 1664525) + 1013904223) >>> 0);
  for (let i = 0; i < size;) {
    const r = next();
    if (i > 64 && r % 3 === 0) {
      const distance = 1 + ((r >>> 8) % Math.min(i, 4000));
      const length = 3 + ((r >>> 20) % 40);
      for (let k = 0; k < length && i < size; ++k, ++i) bytes[i] = bytes[i - distance];
    } else {
      bytes[i++] = (r >>> 24) % ((r >>> 4) % 2 ? 256 : 40);
    }
  }
  return bytes;
}

// A 16x16 icon file with one 32-bit image.
function sampleIcon() {
  const image = Buffer.alloc(40 + 16 * 16 * 4 + 16 * 4);
  image.writeUInt32LE(40, 0);
  image.writeInt32LE(16, 4);
  image.writeInt32LE(32, 8);  // the colour and mask bitmaps together
  image.writeUInt16LE(1, 12);
  image.writeUInt16LE(32, 14);
  for (let i = 0; i < 256; ++i) image.writeUInt32LE((0xff203060 + i * 0x10101) >>> 0, 40 + i * 4);
  const head = Buffer.alloc(22);
  head.writeUInt16LE(1, 2);
  head.writeUInt16LE(1, 4);
  head.writeUInt8(16, 6);
  head.writeUInt8(16, 7);
  head.writeUInt16LE(1, 10);
  head.writeUInt16LE(32, 12);
  head.writeUInt32LE(image.length, 14);
  head.writeUInt32LE(22, 18);
  return Buffer.concat([head, image]);
}

// Writes the sample files into a fresh folder: {dir, main, second, extra, icon}.
function sampleFiles() {
  const dir = fs.mkdtempSync(path.join(OUT, 'files-'));
  const files = {
    main: ['Night Sky.scr', sampleBytes(300000, 1)],
    second: ['README.TXT', Buffer.from('Night Sky\r\n\r\nStars drift towards you under a crescent moon.\r\n')],
    extra: ['NSHELP.DLL', sampleBytes(20000, 2)],
    icon: ['night.ico', sampleIcon()],
  };
  const paths = {dir};
  for (const [role, [name, bytes]] of Object.entries(files)) {
    paths[role] = path.join(dir, name);
    fs.writeFileSync(paths[role], bytes);
  }
  return paths;
}

// kestrune-pack with args in cwd: {status, stdout, stderr}.
function pack(args, cwd) {
  const run = childProcess.spawnSync(PACK, args, {cwd, encoding: 'utf8'});
  return {status: run.status, stdout: run.stdout, stderr: run.stderr};
}

function lines(text) {
  return text.split('\n').filter((line) => line !== '');
}

module.exports = {PAGE, PACK, OUT, launch, open, sampleBytes, sampleFiles, pack, lines};
