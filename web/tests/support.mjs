// What the browser tests share: the site served from build-web/site on a port of its own,
// Debian's Chromium driven by playwright-core, and helpers that set the page's controls as a
// person would.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const root = fileURLToPath(new URL('../..', import.meta.url));
export const site = join(root, 'build-web/site');
export const golden = join(root, 'tests/data/golden');

const types = {
  '.html': 'text/html',
  '.js': 'text/javascript',
  '.mjs': 'text/javascript',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
};

// A static server of the site on 127.0.0.1, on a free port.
export async function serveSite() {
  const server = createServer(async (request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname)).replace(/^\/+/, '');
    try {
      const body = await readFile(join(site, path === '' ? 'index.html' : path));
      response.writeHead(200, { 'Content-Type': types[extname(path || 'index.html')] || 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { server, url: `http://127.0.0.1:${server.address().port}/` };
}

// Debian's Chromium, headless; nothing is downloaded.
export function launchChromium() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
}

// A fresh page of the site, ready to use; every console error and uncaught exception is kept.
export async function openPage(browser, url, viewport = { width: 1400, height: 900 }) {
  const context = await browser.newContext({ viewport, acceptDownloads: true });
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  const page = await context.newPage();
  const errors = [];
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url);
  await page.waitForSelector('body[data-ready=true]');
  return { page, context, errors };
}

// Waits until the page has finished what the last action started, or asks the user.
export function settle(page) {
  return page.waitForFunction(() => !document.body.hasAttribute('aria-busy') || document.querySelector('dialog[open]'));
}

// Types into a box that the current choices disable, as a person would: through a choice
// that enables it, and back.
async function typeInto(page, edit, value, enabling, restore) {
  if (!(await page.isDisabled(edit))) return page.fill(edit, value);
  await page.check(enabling);
  await page.fill(edit, value);
  return page.check(restore);
}

// Sets the controls as the zelworld-cli options of a golden case name them: the choices
// first, then the numbers.
export async function setControls(page, given) {
  const flags = ['--reproduction', '--rates-selection', '--random-environment'];
  const args = [];
  for (let i = 0; i < given.length; ++i) {
    const n = given[i] === '--rates-selection' || given[i] === '--random-environment' ? 1 : 2;
    if (flags.includes(given[i])) args.unshift(...given.slice(i, i + n));
    else args.push(...given.slice(i, i + n));
    i += n - 1;
  }
  const reproduction = () => page.evaluate(() => `#${document.querySelector('input[name=reproduction]:checked').id}`);
  const spin = { '--pop-size': '#PopSpinEdit', '--generations': '#GenSpinEdit', '--elements': '#XElementsSpinEdit', '--blocks': '#NBlocksSpinEdit' };
  for (let i = 0; i < args.length; ++i) {
    const a = args[i];
    if (a in spin) {
      await page.fill(spin[a], args[++i]);
      await page.locator(spin[a]).blur();
    } else if (a === '--reproduction') {
      const item = { phenotype: 0, genotype: 1, both: 2 }[args[++i]];
      await page.check(`#ReprodRadioGroupItem${item}`);
    } else if (a === '--rates-selection') {
      await page.check('#RatesCheckBox');
    } else if (a === '--random-environment') {
      await page.check('#RandomFitCheckBox');
    } else if (a === '--seed') {
      await page.fill('#SeedEdit', args[++i]);
    } else if (a === '--p-crossover') {
      await page.fill('#PCrossEdit', args[++i]);
    } else if (a === '--p-mutation') {
      await typeInto(page, '#pmutEdit', args[++i], '#ReprodRadioGroupItem2', await reproduction());
    } else if (a === '--p-noise') {
      await typeInto(page, '#pnoiseEdit', args[++i], '#ReprodRadioGroupItem2', await reproduction());
    } else {
      throw new Error(`no control for ${a}`);
    }
  }
}

// Starts a run or batch and waits until the page shows its outcome.
export async function runToEnd(page, button = '#StartToolButton') {
  await page.evaluate(() => {
    window.zelTimings = {};
  });
  await page.click(button);
  await page.waitForFunction(() => window.zelTimings.outputs !== undefined, null, { timeout: 120000 });
}

// Clicks a download button and gives the file's bytes and its suggested name.
export async function downloadOf(page, button) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click(button)]);
  const path = await download.path();
  return { name: download.suggestedFilename(), bytes: await readFile(path) };
}

// Answers the next file chooser with a file of the given name and text.
export async function openWith(page, button, name, text) {
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click(button)]);
  await chooser.setFiles({ name, mimeType: 'application/octet-stream', buffer: Buffer.from(text) });
  await settle(page);
}

// Types a name into the save dialog and gives the bytes downloaded.
export async function saveAs(page, button, name) {
  await page.click(button);
  await page.waitForSelector('#SaveDialog[open]');
  await page.fill('#SaveDialogName', name);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#SaveDialogSave')]);
  await settle(page);
  return { name: download.suggestedFilename(), bytes: await readFile(await download.path()) };
}

// The golden cases, as tests/data/golden/cases.txt lists them.
export async function goldenCases() {
  const text = await readFile(join(golden, 'cases.txt'), 'utf8');
  const cases = new Map();
  for (const line of text.split('\n')) {
    if (line.startsWith('#') || !line.includes(':')) continue;
    const [name, rest] = line.split(/:(.*)/s);
    cases.set(name.trim(), rest.trim().split(/\s+/));
  }
  return cases;
}
