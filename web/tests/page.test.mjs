// The page in Debian's Chromium: runs and batches set through the page's own controls give
// the golden reports, best lists and series byte for byte; Pause, Step and Stop act between
// generations; files are saved, opened and refused as on the command line; nothing is
// written to the console as an error.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile } from 'node:fs/promises';
import { join } from 'node:path';
import {
  downloadOf, golden, goldenCases, launchChromium, openPage, openWith, runToEnd, saveAs, serveSite, setControls, settle,
} from './support.mjs';

let served;
let browser;
let cases;

before(async () => {
  served = await serveSite();
  browser = await launchChromium();
  cases = await goldenCases();
});

after(async () => {
  await browser?.close();
  served?.server.close();
});

// A page for one test; at its end the page has written no error to the console.
async function withPage(body, viewport) {
  const { page, context, errors } = await openPage(browser, served.url, viewport);
  try {
    await body(page);
    assert.deepEqual(errors, [], 'console errors');
  } finally {
    await context.close();
  }
}

const text = (page, id) => page.locator(`#${id}`).textContent();
const goldenFile = (name) => readFile(join(golden, name));
const lines = (bytes) => bytes.toString('latin1').split('\r\n');

describe('golden cases through the controls', () => {
  for (const name of [
    'run-defaults',
    'run-phenotype-elite-pop8',
    'run-both-rates-pop13',
    'run-genotype-rates',
    'run-random-environment',
    'run-out-of-range',
    'batch-both-rates-pop13',
    'batch-phenotype-pop8-random',
  ]) {
    test(name, () =>
      withPage(async (page) => {
        const [command, ...args] = cases.get(name);
        await setControls(page, args);
        await page.fill('#ReportNameEdit', `${name}.report.txt`);
        await page.fill('#BestListNameEdit', `${name}.best.txt`);
        await page.fill('#SeriesNameEdit', `${name}.series.csv`);
        await runToEnd(page, command === 'batch' ? '#BatchToolButton' : '#StartToolButton');
        assert.equal(await text(page, 'RunMessage'), `Your Report on file ${name}.report.txt`);
        for (const [button, suffix] of [
          ['#DownloadReportButton', 'report.txt'],
          ['#DownloadBestListButton', 'best.txt'],
          ['#DownloadSeriesButton', 'series.csv'],
        ]) {
          const got = await downloadOf(page, button);
          assert.equal(got.name, `${name}.${suffix}`);
          assert.ok(got.bytes.equals(await goldenFile(`${name}.${suffix}`)), `${name}.${suffix} differs`);
        }
        // The list holds one program a generation (a run), numbered as the report numbers them.
        const entries = await page.locator('#ZELListBox li').count();
        const best = (await goldenFile(`${name}.best.txt`)).toString().trim().split('\n');
        assert.equal(entries, best.length);
        assert.equal(await page.locator('#ZELListBox li .program').last().textContent(), best.at(-1));
        assert.equal(await text(page, 'SeedUsedLabel'), `used ${args[args.indexOf('--seed') + 1]}`);
        // The command line that repeats the run names the report and the seed.
        await page.click('#CopyCommandToolButton');
        await page.waitForFunction(() => document.getElementById('StatusPanel1').textContent.includes('zelworld-cli'));
        const status = await text(page, 'StatusPanel1');
        assert.match(status, new RegExp(`zelworld-cli ${command} --seed ${args[args.indexOf('--seed') + 1]} .*--report ${name}\\.report\\.txt$`));
        if (name === 'run-out-of-range') {
          // Corrections are told before the run shows itself; the copy replaced that status.
          assert.match(status, /--p-crossover=1 --p-mutation=0 --p-noise=1 /);
        }
      }));
  }
});

test('a frozen population thawed in a new page and continued gives the lines of the uninterrupted run', () =>
  withPage(async (page) => {
    const name = 'run-both-rates-pop13';
    const args = cases.get(name).slice(1);
    const whole = args.indexOf('--generations');
    await setControls(page, [...args.slice(0, whole), '--generations', '20', ...args.slice(whole + 2)]);
    await runToEnd(page);
    const frozen = await saveAs(page, '#FreezeButton', 'frozen.json');
    assert.equal(frozen.name, 'frozen.json');
    assert.match(await text(page, 'StatusPanel1'), /^Population of generation 20 frozen in frozen\.json$/);

    await page.reload();
    await page.waitForSelector('body[data-ready=true]');
    await openWith(page, '#ThawButton', 'frozen.json', frozen.bytes);
    assert.equal(await text(page, 'StatusPanel1'), 'Population of generation 20 from frozen.json');
    assert.equal(await page.inputValue('#PopSpinEdit'), '13');
    assert.equal(await text(page, 'GenLabel'), '20');
    // What the population is made of stays, and Continue says which control would change it.
    await page.fill('#PopSpinEdit', '14');
    await page.click('#ContinueToolButton');
    await page.waitForSelector('#MessageDialog[open]');
    assert.equal(await text(page, 'MessageDialogText'), 'Pop Size: 14 differs from the population\'s 13, which Continue keeps');
    await page.click('#MessageDialogOk');
    await page.fill('#PopSpinEdit', '13');
    await runToEnd(page, '#ContinueToolButton');

    const report = lines((await downloadOf(page, '#DownloadReportButton')).bytes);
    const expected = lines(await goldenFile(`${name}.report.txt`));
    assert.equal(report[1], 'PopSize: 13 Number of Generations: 20');
    const start = expected.findIndex((l) => /^\s+21\s/.test(l));
    assert.deepEqual(report.slice(7), expected.slice(start));
    const best = (await downloadOf(page, '#DownloadBestListButton')).bytes.toString().split('\n');
    assert.deepEqual(best, (await goldenFile(`${name}.best.txt`)).toString().split('\n').slice(21));
    const series = (await downloadOf(page, '#DownloadSeriesButton')).bytes.toString().split('\n');
    const all = (await goldenFile(`${name}.series.csv`)).toString().split('\n');
    assert.deepEqual(series, [all[0], ...all.slice(22)]);
    assert.equal(await page.locator('#ZELListBox li').first().getAttribute('data-number'), '21');
    assert.equal(await text(page, 'GenLabel'), '40');
    // A continued run is repeated from its population file: there is no command line to copy.
    assert.equal(await page.isDisabled('#CopyCommandToolButton'), true);
  }));

test('Pause holds a run after generation 0, Step advances one generation, Stop ends it with its line', () =>
  withPage(async (page) => {
    await page.fill('#SeedEdit', '1');
    await page.click('#PauseToolButton');
    assert.equal(await text(page, 'PauseToolButton'), 'Resume');
    await page.click('#StartToolButton');
    await page.waitForFunction(() => !document.getElementById('StopToolButton').disabled);
    await page.waitForFunction(() => document.getElementById('GenLabel').textContent === '0');
    assert.equal(await page.isDisabled('#StartToolButton'), true);
    assert.equal(await page.isDisabled('#PopSpinEdit'), true);
    for (const g of ['1', '2', '3']) {
      await page.click('#StepToolButton');
      await page.waitForFunction((want) => document.getElementById('GenLabel').textContent === want, g);
      // One step is one generation: the run waits there.
      await page.waitForTimeout(100);
      assert.equal(await text(page, 'GenLabel'), g);
    }
    // The population of a paused run can be frozen.
    assert.equal(await page.isDisabled('#FreezeButton'), false);
    await page.evaluate(() => {
      window.zelTimings.shown = undefined;
    });
    await page.click('#StopToolButton');
    await page.waitForFunction(() => window.zelTimings.outputs !== undefined);
    assert.equal(await text(page, 'StatusPanel1'), 'Stopped after generation 3 of 100');
    assert.equal(await text(page, 'GenLabel'), '3');
    const report = lines((await downloadOf(page, '#DownloadReportButton')).bytes);
    const expected = lines(await goldenFile('run-defaults.report.txt'));
    assert.deepEqual(report, [...expected.slice(0, 11), 'Stopped after generation 3 of 100', '']);
    assert.equal(await page.locator('#ZELListBox li').count(), 4);
    assert.equal(await page.isDisabled('#StartToolButton'), false);
  }));

test('settings are saved and opened again; a bad file shows its message and changes nothing', () =>
  withPage(async (page) => {
    await setControls(page, ['--reproduction', 'both', '--rates-selection', '--pop-size', '50', '--p-crossover', '0.7', '--seed', '777']);
    const saved = await saveAs(page, '#SaveSettingsButton', 'mine.json');
    const file = JSON.parse(saved.bytes.toString());
    assert.equal(file.format, 'zelworld experiment');
    assert.equal(file.seed, 777);
    assert.equal(file.settings['pop-size'], 50);
    assert.equal(file.settings.reproduction, 'both');

    await page.reload();
    await page.waitForSelector('body[data-ready=true]');
    await page.fill('#GenSpinEdit', '33');
    const before = await page.evaluate(() =>
      [...document.querySelectorAll('input:not([type=file])')].map((i) => [i.id, i.type === 'checkbox' || i.type === 'radio' ? i.checked : i.value, i.disabled]),
    );
    for (const [name, content, pattern] of [
      ['bad.json', '{"format": "zelworld experiment", "version": 1, "settings": {"pop-size": 5000}}', /bad\.json.*\/settings\/pop-size/],
      ['notjson.json', 'pop-size = 50', /notjson\.json.*line 1, column/],
      ['other.json', '{"format": "zelworld population", "version": 1}', /other\.json/],
    ]) {
      await openWith(page, '#OpenSettingsButton', name, content);
      await page.waitForSelector('#MessageDialog[open]');
      assert.match(await text(page, 'MessageDialogText'), pattern);
      await page.click('#MessageDialogOk');
      const now = await page.evaluate(() =>
        [...document.querySelectorAll('input:not([type=file])')].map((i) => [i.id, i.type === 'checkbox' || i.type === 'radio' ? i.checked : i.value, i.disabled]),
      );
      assert.deepEqual(now, before, `${name} changed the controls`);
    }

    await openWith(page, '#OpenSettingsButton', 'mine.json', saved.bytes);
    assert.equal(await text(page, 'StatusPanel1'), 'Settings from mine.json');
    assert.equal(await page.inputValue('#PopSpinEdit'), '50');
    assert.equal(await page.inputValue('#GenSpinEdit'), '100');
    assert.equal(await page.inputValue('#SeedEdit'), '777');
    assert.equal(await page.inputValue('#PCrossEdit'), '0.7');
    assert.equal(await page.inputValue('#PCrossTrackBar'), '7');
    assert.equal(await page.isChecked('#ReprodRadioGroupItem2'), true);
    assert.equal(await page.isDisabled('#PCrossEdit'), false);
    assert.equal(await page.isDisabled('#pnoiseEdit'), false);
  }));

test('the controls keep their ranges and enable what the choices use', () =>
  withPage(async (page) => {
    assert.equal(await page.isDisabled('#pnoiseEdit'), true);
    assert.equal(await page.isDisabled('#PCrossTrackBar'), true);
    await page.check('#ReprodRadioGroupItem0');
    assert.equal(await page.isDisabled('#pmutEdit'), true);
    assert.equal(await page.inputValue('#pmutEdit'), '0.0001');
    assert.equal(await page.isDisabled('#pnoiseEdit'), false);
    await page.locator('#pnoiseTrackBar').fill('7');
    assert.equal(await page.inputValue('#pnoiseEdit'), '0.1');
    await page.check('#RatesCheckBox');
    await page.fill('#PCrossEdit', '0.35');
    await page.uncheck('#RatesCheckBox');
    assert.equal(await page.inputValue('#PCrossEdit'), '1.0');
    assert.equal(await page.inputValue('#PCrossTrackBar'), '10');
    for (const [id, typed, kept] of [['#PopSpinEdit', '5000', '1000'], ['#PopSpinEdit', '1', '2'], ['#GenSpinEdit', '', '1'], ['#XElementsSpinEdit', '4096', '2048'], ['#NBlocksSpinEdit', '0', '1']]) {
      await page.fill(id, typed);
      await page.locator(id).blur();
      assert.equal(await page.inputValue(id), kept, `${id} ${typed}`);
    }
    // A probability that is not a number ends the command with the window's message.
    await page.fill('#pnoiseEdit', '0,5');
    await page.click('#StartToolButton');
    await page.waitForSelector('#MessageDialog[open]');
    assert.equal(await text(page, 'MessageDialogText'), "'0,5' is not a valid floating point value");
    await page.click('#MessageDialogOk');
    await page.fill('#SeedEdit', '4294967296');
    await page.click('#StartToolButton');
    await page.waitForSelector('#MessageDialog[open]');
    assert.equal(await text(page, 'MessageDialogText'), "Seed: '4294967296' is not a whole number from 0 to 4294967295");
    await page.click('#MessageDialogOk');
  }));

test('the list re-develops a program by double-click or keyboard; earlier runs stay in the chart', () =>
  withPage(async (page) => {
    await setControls(page, ['--seed', '1']);
    await runToEnd(page);
    const fitness = await text(page, 'FitnessLabel');
    await setControls(page, ['--seed', '2', '--pop-size', '50']);
    await runToEnd(page);
    // The first run's curve stays, named by what it set differently.
    assert.match(await page.locator('#EvolChart .u-legend').textContent(), /pop 100/);
    await page.dblclick('#ZELListItem0');
    await settle(page);
    assert.equal(await text(page, 'GenLabel'), '0');
    await page.focus('#ZELListBox');
    await page.keyboard.press('End');
    await page.keyboard.press('Enter');
    assert.equal(await page.locator('#ZELListBox').getAttribute('aria-activedescendant'), 'ZELListItem100');
    // The last entry names the first generation that found its program.
    const last = await page.locator('#ZELListItem100 .program').textContent();
    const texts = await page.locator('#ZELListBox li .program').allTextContents();
    await page.waitForFunction((want) => document.getElementById('GenLabel').textContent === want, String(texts.indexOf(last)));
    // Fewer blocks than asked for develop what there is, and the status bar says so.
    await page.fill('#NBlocksSpinEdit', '9');
    await page.keyboard.press('Tab');
    await page.dblclick('#ZELListItem3');
    await page.waitForFunction(() => document.getElementById('StatusPanel1').textContent === 'Developed 8 of 9 blocks');
    assert.notEqual(fitness, '');
    await page.click('#ClearRunsToolButton');
    await settle(page);
    assert.doesNotMatch(await page.locator('#EvolChart .u-legend').textContent(), /pop 100/);
  }));

test('sweep results are drawn from an aggregate.csv, a panel a measure; a bad one is refused naming line and column', () =>
  withPage(async (page) => {
    const header = 'condition,reproduction,measure,generation,runs,planned,mean,sd,median,ci_low,ci_high';
    const rows = [];
    // Listed in another order than the panels', with a measure (programs) that goes past 100.
    for (const [condition, reproduction] of [['c0', 'genotype'], ['c1', 'both']]) {
      for (const measure of ['distinct_programs', 'best_fitness', 'genotype_percent']) {
        for (let g = 0; g <= 10; ++g) {
          const c0 = condition === 'c0';
          const mean = { best_fitness: 20 + g * (c0 ? 2 : 1.5), genotype_percent: c0 ? 100 : 50 + g, distinct_programs: c0 ? 150 - g : 40 }[measure];
          rows.push(`${condition},${reproduction},${measure},${g},5,5,${mean},1,${mean},${mean - 2},${mean + 2}`);
        }
      }
    }
    await openWith(page, '#OpenSweepButton', 'aggregate.csv', `${header}\n${rows.join('\n')}\n`);
    await page.waitForSelector('#SweepPanel:not([hidden]) .sweep-legend');
    assert.equal(await text(page, 'SweepTitle'), 'Sweep Results: aggregate.csv');
    const panels = await page.locator('#SweepChart .sweep-panel').evaluateAll((figures) =>
      figures.map((f) => ({ title: f.querySelector('.u-title').textContent, label: f.getAttribute('aria-label') })));
    assert.deepEqual(panels.map((p) => p.title), ['Best fitness', 'Genotype agents', 'Distinct programs']);
    // One legend for the panels: an entry a condition.
    assert.deepEqual(await page.locator('#SweepChart .sweep-legend li').allTextContents(), ['reproduction=genotype', 'reproduction=both']);
    // Fitness and percentages keep their fixed scale; programs get an axis that holds their bands.
    assert.match(panels[0].label, /^Best fitness: 2 conditions, fitness from 0 to 100 over generations 0 to 10$/);
    const top = Number(panels[2].label.match(/programs from 0 to (\d+)/)[1]);
    assert.ok(top >= 152 && top <= 200, panels[2].label);
    await page.click('#CloseSweepButton');

    await openWith(page, '#OpenSweepButton', 'broken.csv', `${header}\nc0,genotype,best_fitness,0,5,5,many,1,1,1,1\n`);
    await page.waitForSelector('#MessageDialog[open]');
    assert.match(await text(page, 'MessageDialogText'), /^broken\.csv:2:7 \(mean\): 'many' is not a number/);
    await page.click('#MessageDialogOk');
    assert.equal(await page.isHidden('#SweepPanel'), true);
  }));

test('an environment of a file sets the elements and is drawn; the built-in one comes back', () =>
  withPage(async (page) => {
    await openWith(page, '#LoadEnvironmentButton', 'target.json', '{"degrees": [0, 0, 25, 50, 100, 100, 50, 25, 0, 0]}');
    assert.equal(await text(page, 'StatusPanel1'), 'Environment of target.json, 10 elements');
    assert.equal(await page.inputValue('#XElementsSpinEdit'), '10');
    assert.equal(await page.isDisabled('#XElementsSpinEdit'), true);
    assert.equal(await page.isDisabled('#RandomFitCheckBox'), true);
    await setControls(page, ['--seed', '5', '--generations', '5']);
    await runToEnd(page);
    await page.click('#CopyCommandToolButton');
    await page.waitForFunction(() => document.getElementById('StatusPanel1').textContent.includes('zelworld-cli'));
    assert.match(await text(page, 'StatusPanel1'), / --environment target\.json --report report\.txt$/);
    await page.click('#BuiltInEnvironmentButton');
    await settle(page);
    assert.equal(await text(page, 'StatusPanel1'), 'Experiments use the fixed environment');
    assert.equal(await page.isDisabled('#XElementsSpinEdit'), false);
    const image = await saveAs(page, '#SaveImageToolButton', 'picture.bmp');
    assert.equal(image.bytes.subarray(0, 2).toString(), 'BM');
  }));

test('at phone width nothing reaches past the screen and every control has a name', () =>
  withPage(async (page) => {
    await setControls(page, ['--seed', '1', '--generations', '10']);
    await runToEnd(page);
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
    assert.ok(overflow <= 0, `the page is ${overflow} pixels too wide`);
    const unnamed = await page.evaluate(() =>
      [...document.querySelectorAll('button, input:not([type=file]), select, [role=listbox]')]
        .filter((e) => !e.hidden && e.getClientRects().length > 0)
        .filter((e) => !(e.labels && e.labels.length) && !e.getAttribute('aria-label') && !e.getAttribute('aria-labelledby') && !e.textContent.trim())
        .map((e) => e.id),
    );
    assert.deepEqual(unnamed, []);
  }, { width: 390, height: 844 }));
