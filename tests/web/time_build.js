// Times building an installer for a 2 MiB screen saver in the page
// (kestrune.build, from the call to the bytes, in headless Chromium) and
// with kestrune-pack (the whole process), compressed and with --best, in
// alternating rounds; and checks both write the same bytes. The saver is
// the build's Windows programs over and over (real code and data, as a
// saver holds), or seeded sample bytes without them. Not a test:
//   scripts/setup.sh web && cmake --build build/host
//   NODE_PATH=build/web-node/node_modules node tests/web/time_build.js [rounds]
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const root = path.resolve(__dirname, '../..');
process.env.KESTRUNE_PAGE ||= path.join(root, 'build/host/web/tools/web/kestrune-pack.html');
process.env.KESTRUNE_PACK ||= path.join(root, 'build/host/tools/kestrune-pack');
const {OUT, launch, open, pack, sampleBytes} = require('./browser.js');

const ROUNDS = Number(process.argv[2] || 3);
const SIZE = 2 << 20;

// 2 MiB of Windows programs, or of sample bytes: {bytes, what}.
function saverBytes() {
  const programs = ['windows-i686/tools/kestrune-pack.exe', 'windows-x86_64/tools/kestrune-pack.exe',
                    'windows-i686/demo/kestrune-demo.scr'].map((name) => path.join(root, 'build/host', name));
  if (!programs.every((program) => fs.existsSync(program))) return {bytes: sampleBytes(SIZE, 7), what: 'sample bytes'};
  const bytes = Buffer.alloc(SIZE);
  for (let at = 0, i = 0; at < SIZE; ++i) at += fs.readFileSync(programs[i % programs.length]).copy(bytes, at);
  return {bytes, what: 'the Windows programs of the build, repeated'};
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

async function main() {
  const dir = fs.mkdtempSync(path.join(OUT, 'timing-'));
  const saver = path.join(dir, 'BIGSAVER.SCR');
  const readme = path.join(dir, 'README.TXT');
  const {bytes, what} = saverBytes();
  fs.writeFileSync(saver, bytes);
  fs.writeFileSync(readme, 'A big screen saver.\r\n');
  const browser = await launch();
  const {page} = await open(browser);
  await page.evaluate(async (saver, readme) => {
    const decode = (data) => Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    window.timing = {main: new File([decode(saver)], 'BIGSAVER.SCR'), second: new File([decode(readme)], 'README.TXT')};
  }, fs.readFileSync(saver).toString('base64'), fs.readFileSync(readme).toString('base64'));

  console.log(`a saver of ${SIZE} bytes (${what}), ${ROUNDS} rounds, median seconds`);
  console.log('                    page   kestrune-pack   installer bytes   same bytes');
  for (const [name, flags] of [['compressed', []], ['--best', ['--best']]]) {
    const times = {page: [], cli: []};
    let same = true;
    let size = 0;
    for (let round = 0; round < ROUNDS; ++round) {
      const started = process.hrtime.bigint();
      const cli = pack(['build', '--main', saver, '--second', readme, ...flags, '-o', 'out.exe'], dir);
      times.cli.push(Number(process.hrtime.bigint() - started) / 1e9);
      if (cli.status !== 0) throw new Error(cli.stderr);
      const web = await page.evaluate(async (best) => {
        const started = performance.now();
        const bytes = await kestrune.build({...window.timing, best});
        const seconds = (performance.now() - started) / 1000;
        let text = '';
        for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
        return {seconds, data: btoa(text)};
      }, flags.length > 0);
      times.page.push(web.seconds);
      const cliBytes = fs.readFileSync(path.join(dir, 'out.exe'));
      same = same && Buffer.from(web.data, 'base64').equals(cliBytes);
      size = cliBytes.length;
    }
    const cells = [median(times.page).toFixed(2), median(times.cli).toFixed(2), String(size), same ? 'yes' : 'NO'];
    console.log(`  ${name.padEnd(12)} ${cells[0].padStart(9)} ${cells[1].padStart(15)} ${cells[2].padStart(17)}` +
                `   ${cells[3]}`);
  }
  await browser.close();
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
