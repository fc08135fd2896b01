// The page's interface against kestrune-pack, request by request: the same
// installer bytes, the same summary, or the same refusal; and for what was
// built, the same inspect listing, verify verdict and extracted files.
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {after, before, test} = require('node:test');
const {launch, open, pack, lines, sampleFiles} = require('./browser.js');

const files = sampleFiles();

// Each row's arguments follow --main and --second; the page gets the same
// options in camelCase.
const ROWS = [
  {name: 'compressed, with the defaults', args: []},
  {
    name: 'stored and silent, with texts in code page 1252',
    args: ['--stored', '--silent', '--confirm', 'Install Night Sky?', '--done', 'Voilà: Night Sky is ready.',
           '--failure', '', '--bad-header', 'Damaged!'],
  },
  {
    name: 'three parts and an extra file, in code page 1251',
    args: ['--main-parts', '3', '--extra', files.extra, '--main-name', 'Ночь.scr', '--codepage', '1251', '--dialog',
           'Установка...'],
  },
  {name: '--best in two parts, no done text', args: ['--best', '--main-parts', '2', '--done', '']},
  {name: 'refused: a character the code page lacks', args: ['--done', 'Ω is here']},
  {name: 'refused: --best with --stored', args: ['--best', '--stored']},
  {name: 'refused: a version that is no version', args: ['--product-version', '1.x']},
  {
    name: 'icon and version information',
    args: ['--icon', files.icon, '--product-name', 'Night Sky', '--product-version', '1.2.0', '--company',
           'Kestrune Works', '--copyright', '© 2024 Kestrune Works', '--description', 'Night Sky screen saver'],
  },
];

const FLAGS = new Set(['--stored', '--best', '--silent']);
const NUMBERS = new Set(['--main-parts', '--codepage']);
const FILES = new Set(['--main', '--second', '--extra', '--icon']);

// build's options for the command line's arguments; files as {name, data}
// (base64) for the page to turn into File objects.
function optionsOf(args) {
  const options = {};
  for (let i = 0; i < args.length; ++i) {
    const key = args[i].slice(2).replace(/-(.)/g, (_, letter) => letter.toUpperCase());
    if (FLAGS.has(args[i])) options[key] = true;
    else if (NUMBERS.has(args[i])) options[key] = Number(args[++i]);
    else if (FILES.has(args[i])) options[key] = fileFor(args[++i]);
    else options[key] = args[++i];
  }
  return options;
}

function fileFor(file) {
  return {name: path.basename(file), data: fs.readFileSync(file).toString('base64')};
}

let browser;
let page;
before(async () => {
  browser = await launch();
  ({page} = await open(browser));
});
after(() => browser.close());

// Runs build, then inspect, verify and extract on what it built, in the page.
function inPage(options, installerName) {
  return page.evaluate(async (options, installerName) => {
    const decode = (data) => Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    const encode = (bytes) => {
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return btoa(text);
    };
    for (const [key, value] of Object.entries(options))
      if (value && value.data !== undefined) options[key] = new File([decode(value.data)], value.name);
    let built;
    try {
      built = await kestrune.buildReport(options);
    } catch (error) {
      return {error: error.message, status: error.status};
    }
    const read = {codepage: options.codepage, name: installerName};
    const report = await kestrune.inspect(built.bytes, read);
    const verified = await kestrune.verify(built.bytes, read);
    const extracted = await kestrune.extract(built.bytes, read);
    const files = extracted.files.map((file) => ({name: file.name, data: encode(file.bytes)}));
    return {bytes: encode(built.bytes), summary: built.summary, listing: report.listing,
            verdict: verified.verdict, files};
  }, options, installerName);
}

for (const row of ROWS) {
  test(row.name, async () => {
    const dir = fs.mkdtempSync(path.join(files.dir, 'row-'));
    const output = 'Night SkySetup.exe';
    const cli = pack(['build', '--main', files.main, '--second', files.second, ...row.args, '-o', output], dir);
    const options = {...optionsOf(['--main', files.main, '--second', files.second, ...row.args]), outputName: output};
    const web = await inPage(options, output);
    if (cli.status !== 0) {
      assert.equal(web.error, cli.stderr.trim().replace(/^kestrune-pack: build: /, ''));
      return;
    }
    assert.equal(web.error, undefined, 'the page builds what kestrune-pack builds');
    assert.ok(Buffer.from(web.bytes, 'base64').equals(fs.readFileSync(path.join(dir, output))), 'the same bytes');
    assert.deepEqual(web.summary, lines(cli.stdout));
    const codepage = row.args.includes('--codepage') ? ['--codepage', options.codepage] : [];
    assert.deepEqual(web.listing, lines(pack(['inspect', output, ...codepage], dir).stdout));
    assert.equal(web.verdict, lines(pack(['verify', output], dir).stdout)[0]);
    assert.equal(pack(['extract', output, '-d', 'out', ...codepage], dir).status, 0);
    assert.deepEqual(web.files.map((file) => file.name).sort(), fs.readdirSync(path.join(dir, 'out')).sort());
    for (const file of web.files)
      assert.ok(Buffer.from(file.data, 'base64').equals(fs.readFileSync(path.join(dir, 'out', file.name))), file.name);
  });
}
