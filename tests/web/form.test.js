// The page as a person uses it, opened from disk: the form builds what
// kestrune-pack builds and the browser downloads it; an installer dropped on
// the page is reported sound or damaged; every control has a label and the
// page fits a phone. Leaves a screenshot for the README in KESTRUNE_WEB_OUT.
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {after, before, test} = require('node:test');
const {OUT, PAGE, launch, open, pack, lines, sampleFiles} = require('./browser.js');

const files = sampleFiles();
const OUTPUT = 'Night SkySetup.exe';
let browser;
let opened;
let built;  // kestrune-pack's installer for the form's options

before(async () => {
  browser = await launch();
  opened = await open(browser);
  const cli = pack(['build', '--main', files.main, '--second', files.second, '--dialog', 'Installing Night Sky...',
                    '--failure', '', '--best', '-o', OUTPUT], files.dir);
  assert.equal(cli.status, 0, cli.stderr);
  built = {bytes: fs.readFileSync(path.join(files.dir, OUTPUT)), summary: lines(cli.stdout)};
});
after(() => browser.close());

const text = (selector) => opened.page.$eval(selector, (element) => element.textContent);

// Drops a file named name holding bytes on the element at selector, as a
// person dragging it from a file manager would.
function drop(selector, name, bytes) {
  return opened.page.evaluate((selector, name, data) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name));
    const target = document.querySelector(selector);
    target.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
  }, selector, name, bytes.toString('base64'));
}

async function verdictAfterDrop(selector, name, bytes) {
  const {page} = opened;
  await page.$eval('#check-verdict', (element) => (element.textContent = ''));
  await drop(selector, name, bytes);
  await page.waitForFunction(() => /^(Sound|Damaged|Not)/.test(document.querySelector('#check-verdict').textContent));
  return page.$eval('#check-verdict', (element) => ({className: element.className, text: element.textContent}));
}

test('the form builds what kestrune-pack builds, as a download named after the saver', async () => {
  const {page} = opened;
  const downloads = fs.mkdtempSync(path.join(OUT, 'downloads-'));
  const session = await browser.target().createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads, eventsEnabled: true});
  const done = new Promise((resolve) => session.on('Browser.downloadProgress', (event) => {
    if (event.state === 'completed') resolve();
  }));
  await (await page.$('#main-file')).uploadFile(files.main);
  await (await page.$('#second-file')).uploadFile(files.second);
  await page.waitForFunction(() => document.querySelector('#main-about').textContent === 'Registered as NIGHTS~1.SCR, its likely 8.3 name.');
  assert.equal(await page.$eval('#text-done', (input) => input.placeholder), 'Night Sky is now your screen saver.');
  assert.equal(await page.$eval('#output-name', (input) => input.placeholder), OUTPUT);
  await page.type('#text-dialog', 'Installing Night Sky...');
  await page.click('#none-failure');
  await page.click('input[name="packing"][value="best"]');
  await page.focus('#build-button');
  await page.keyboard.press('Enter');
  await done;
  assert.ok(fs.readFileSync(path.join(downloads, OUTPUT)).equals(built.bytes), 'the downloaded installer');
  assert.deepEqual(lines(await text('#build-summary')), built.summary);
  assert.match(await text('#build-status'), /^Built Night SkySetup\.exe/);
});

test('an installer dropped on the page is reported damaged or sound', async () => {
  const damaged = Buffer.from(built.bytes);
  damaged[damaged.length - 40] ^= 0x5a;  // in the payload
  fs.writeFileSync(path.join(files.dir, 'damaged.exe'), damaged);
  const verify = pack(['verify', 'damaged.exe'], files.dir);
  assert.notEqual(verify.status, 0);
  const problem = lines(verify.stderr)[0].replace(/^kestrune-pack: damaged\.exe: /, '');

  const bad = await verdictAfterDrop('body', 'damaged.exe', damaged);
  assert.equal(bad.className, 'bad');
  assert.ok(bad.text.startsWith('Damaged: ') && bad.text.includes(problem), bad.text);
  assert.equal(await opened.page.$$eval('#check-files a', (links) => links.length), 0, 'no files offered');

  const good = await verdictAfterDrop('#check', OUTPUT, built.bytes);
  assert.equal(good.className, 'good', good.text);
  const offered = await opened.page.$$eval('#check-files a', (links) => links.map((link) => link.download));
  assert.deepEqual(offered, [path.basename(files.main), path.basename(files.second)]);
});

test('every control has a label, the page fits a phone and asks for nothing but itself', async () => {
  const {page, requests, errors} = opened;
  const unlabelled = await page.$$eval('input, select, button, textarea, progress', (controls) =>
    controls.filter((control) => !(control.labels && control.labels.length) && !control.getAttribute('aria-label') &&
                                 !(control.tagName === 'BUTTON' && control.textContent.trim()))
        .map((control) => control.id || control.outerHTML));
  assert.deepEqual(unlabelled, []);
  await page.setViewport({width: 900, height: 1000});
  await page.screenshot({path: path.join(OUT, 'web-page.png'), fullPage: true});
  await page.setViewport({width: 360, height: 740});
  assert.equal(await page.evaluate(() => document.documentElement.scrollWidth), 360, 'no sideways scrolling');
  assert.deepEqual(requests.filter((url) => url !== `file://${PAGE}` && !/^(blob|data):/.test(url)), []);
  assert.deepEqual(errors, []);
});
