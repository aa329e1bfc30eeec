// Benchmark of the page in Debian's Chromium (not a test: it measures, it does not judge):
//  1. a run at the default settings, from the click to the outcome shown;
//  2. a run at the largest settings in the page against zelworld-cli on one thread, in pairs
//     taken one after the other in the same session on the same machine;
//  3. the page during the largest run: how late its event loop runs, and how long Stop takes
//     to end the run and show it.
// Usage: node web/bench/page-bench.mjs [pairs] [zelworld-cli]   (after scripts/build-web.sh)
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { launchChromium, openPage, root, serveSite, setControls } from '../tests/support.mjs';

const pairs = Number(process.argv[2] || 3);
const cli = process.argv[3] || join(root, 'build/bin/zelworld-cli');
const largest = ['--pop-size', '1000', '--generations', '1000', '--elements', '2048', '--blocks', '32', '--seed', '1'];

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const ms = (x) => `${x.toFixed(1)} ms`;

async function clickToShown(page, button = '#StartToolButton') {
  await page.evaluate(() => {
    window.zelTimings = {};
  });
  await page.click(button);
  await page.waitForFunction(() => window.zelTimings.shown !== undefined, null, { timeout: 600000, polling: 5 });
  return page.evaluate(() => window.zelTimings.shown - window.zelTimings.click);
}

function nativeRun(dir) {
  const start = process.hrtime.bigint();
  execFileSync(cli, ['run', '--threads', '1', ...largest, '--report', join(dir, 'native.txt')]);
  return Number(process.hrtime.bigint() - start) / 1e6;
}

const served = await serveSite();
const browser = await launchChromium();
const dir = mkdtempSync(join(tmpdir(), 'zel-bench-'));
try {
  const { page, errors } = await openPage(browser, served.url);

  // 1. The default settings.
  await setControls(page, ['--seed', '1']);
  await clickToShown(page);
  const defaults = [];
  for (let i = 0; i < 10; ++i) defaults.push(await clickToShown(page));
  console.log(`default settings, click to outcome shown: median ${ms(median(defaults))}, max ${ms(Math.max(...defaults))} (10 runs)`);

  // 2. The largest settings, page and native in turn.
  await setControls(page, largest);
  const inPage = [];
  const native = [];
  for (let i = 0; i < pairs; ++i) {
    native.push(nativeRun(dir));
    inPage.push(await clickToShown(page));
    console.log(`  pair ${i + 1}: native ${ms(native.at(-1))}, page ${ms(inPage.at(-1))}, ratio ${(inPage.at(-1) / native.at(-1)).toFixed(2)}`);
  }
  console.log(
    `largest settings: page median ${ms(median(inPage))}, zelworld-cli --threads 1 median ${ms(median(native))}, ` +
      `ratio of medians ${(median(inPage) / median(native)).toFixed(2)}`,
  );

  // The same in each way of breeding, in a fresh page (the first pair above is the default's).
  const modes = [
    ['genotype', []], ['both', []], ['phenotype', []],
    ['genotype', ['--rates-selection']], ['both', ['--rates-selection']], ['phenotype', ['--rates-selection']],
  ];
  for (const [reproduction, rates] of modes) {
    const more = ['--reproduction', reproduction, ...rates];
    await page.reload();
    await page.waitForSelector('body[data-ready=true]');
    await setControls(page, [...largest, ...more]);
    const start = process.hrtime.bigint();
    execFileSync(cli, ['run', '--threads', '1', ...largest, ...more, '--report', join(dir, 'native.txt')]);
    const alone = Number(process.hrtime.bigint() - start) / 1e6;
    // The first run of a fresh page runs partly in the browser's quick first compilation.
    const first = await clickToShown(page);
    const shown = await clickToShown(page);
    console.log(
      `  ${more.join(' ')}: native ${ms(alone)}, page ${ms(shown)} (the page's first run ${ms(first)}), ratio ${(shown / alone).toFixed(2)}`,
    );
  }

  // 3. The page during the largest run of the slowest kind: the event loop's lateness, then Stop.
  await page.reload();
  await page.waitForSelector('body[data-ready=true]');
  await setControls(page, [...largest, '--reproduction', 'phenotype', '--rates-selection']);
  await page.evaluate(() => {
    window.zelTimings = {};
    window.zelLate = 0;
    let due = performance.now() + 10;
    window.zelProbe = setInterval(() => {
      const now = performance.now();
      window.zelLate = Math.max(window.zelLate, now - due);
      due = now + 10;
    }, 10);
  });
  await page.click('#StartToolButton');
  await page.waitForFunction(() => !document.getElementById('StopToolButton').disabled);
  await page.waitForTimeout(1000);
  await page.click('#StopToolButton');
  await page.waitForFunction(() => window.zelTimings.shown !== undefined, null, { polling: 5 });
  const responsive = await page.evaluate(() => {
    clearInterval(window.zelProbe);
    return { stop: window.zelTimings.shown - window.zelTimings.stop, late: window.zelLate, status: document.getElementById('StatusPanel1').textContent };
  });
  console.log(`during the largest run: the event loop at most ${ms(responsive.late)} late; Stop to the run shown stopped: ${ms(responsive.stop)} (${responsive.status})`);
  if (errors.length) console.log(`console errors: ${errors.join('; ')}`);
} finally {
  rmSync(dir, { recursive: true, force: true });
  await browser.close();
  served.server.close();
}
