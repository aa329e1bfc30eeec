// The page: the window's controls, run commands, chart, picture, result labels and list of
// best programs, driving the engine in its worker. Everything about an experiment (ranges,
// corrections, reports, files, the command line) is the engine's; the page decides only how
// controls behave and how records are shown.
import { Engine } from './engine.js';
import { EvolutionChart, drawSweepChart } from './chart.js';
import { Picture, canvasToBmp } from './picture.js';

const $ = (id) => document.getElementById(id);

// The fixed texts that each probability track bar writes into its edit box, by position.
const MutationTexts = ['0.0', '0.0001', '0.0005', '0.001', '0.005', '0.01', '0.05', '0.1'];
const CrossoverTexts = ['0.0', '0.1', '0.2', '0.3', '0.4', '0.5', '0.6', '0.7', '0.8', '0.9', '1.0'];
// A run shows itself at most this often.
const ShowInterval = 33;

const engine = new Engine('worker.js');
const chart = new EvolutionChart($('EvolChart'));
const picture = new Picture($('FSImage'), (width, height) => engine.call({ command: 'picture', width, height }));
let describe = null;

// The page marks itself busy while a command is under way (tests and assistive technology
// can tell when it has settled).
let busy = 0;
function act(handler) {
  return async (...args) => {
    busy += 1;
    document.body.setAttribute('aria-busy', 'true');
    try {
      await handler(...args);
    } finally {
      busy -= 1;
      if (busy === 0) document.body.removeAttribute('aria-busy');
    }
  };
}

function onClick(id, handler) {
  $(id).addEventListener('click', act(handler));
}

// ---- Parameter controls -------------------------------------------------------------

const spins = {
  pop: $('PopSpinEdit'),
  generations: $('GenSpinEdit'),
  elements: $('XElementsSpinEdit'),
  blocks: $('NBlocksSpinEdit'),
};

// A spin edit's value as the run reads it: its text as a whole number brought into range;
// a text that is not a whole number reads as the minimum.
function typedValue(input) {
  const min = Number(input.min);
  const max = Number(input.max);
  const text = input.value.trim();
  if (!/^[+-]?\d{1,10}$/.test(text)) return min;
  return Math.min(max, Math.max(min, Number(text)));
}

for (const input of Object.values(spins)) {
  // A typed value outside the range becomes the nearer bound when the box is left.
  input.addEventListener('change', () => {
    input.value = String(typedValue(input));
  });
  input.addEventListener('blur', () => {
    input.value = String(typedValue(input));
  });
}

function setEnabled(elements, enabled) {
  for (const e of elements) {
    if ('disabled' in e && e.tagName !== 'LABEL') e.disabled = !enabled;
    else e.classList.toggle('disabled', !enabled);
  }
}

const mutationControls = [$('Label7'), $('pmutTrackBar'), $('pmutEdit')];
const noiseControls = [$('Label8'), $('pnoiseTrackBar'), $('pnoiseEdit')];
const crossoverControls = [$('Label10'), $('PCrossTrackBar'), $('PCrossEdit')];

function trackBar(bar, edit, texts) {
  const tell = () => bar.setAttribute('aria-valuetext', texts[Number(bar.value)]);
  bar.addEventListener('input', () => {
    edit.value = texts[Number(bar.value)];
    tell();
  });
  tell();
}
trackBar($('pmutTrackBar'), $('pmutEdit'), MutationTexts);
trackBar($('pnoiseTrackBar'), $('pnoiseEdit'), MutationTexts);
trackBar($('PCrossTrackBar'), $('PCrossEdit'), CrossoverTexts);

function reproductionItem() {
  return Number(document.querySelector('input[name=reproduction]:checked').value);
}

// The choice enables the probabilities it uses; texts and positions stay as they are.
function ReprodRadioGroupClick() {
  const item = reproductionItem();
  setEnabled(mutationControls, item === 1 || item === 2);
  setEnabled(noiseControls, item === 0 || item === 2);
}
for (const radio of document.querySelectorAll('input[name=reproduction]')) {
  radio.addEventListener('change', ReprodRadioGroupClick);
}

// Only rates selection may change the crossover probability; elite selection crosses at 1.0.
function RatesCheckBoxClick() {
  const checked = $('RatesCheckBox').checked;
  setEnabled(crossoverControls, checked);
  if (!checked) {
    $('PCrossTrackBar').value = '10';
    $('PCrossTrackBar').setAttribute('aria-valuetext', CrossoverTexts[10]);
    $('PCrossEdit').value = '1.0';
  }
}
$('RatesCheckBox').addEventListener('change', RatesCheckBoxClick);

function controls() {
  return {
    pop: typedValue(spins.pop),
    generations: typedValue(spins.generations),
    elements: typedValue(spins.elements),
    blocks: typedValue(spins.blocks),
    reproduction: reproductionItem(),
    random: $('RandomFitCheckBox').checked,
    rates: $('RatesCheckBox').checked,
    pcross: $('PCrossEdit').value,
    pmut: $('pmutEdit').value,
    pnoise: $('pnoiseEdit').value,
  };
}

// Sets the controls to settings the engine gives, the enabled states as the handlers would.
function settingsToControls(s) {
  spins.pop.value = s.pop;
  spins.generations.value = s.generations;
  spins.elements.value = s.elements;
  spins.blocks.value = s.blocks;
  $(`ReprodRadioGroupItem${s.reproduction}`).checked = true;
  ReprodRadioGroupClick();
  $('RandomFitCheckBox').checked = s.random;
  $('RatesCheckBox').checked = s.rates;
  setEnabled(crossoverControls, s.rates);
  // A track bar goes to the preset of the value, if there is one; the box holds the value.
  const set = (bar, edit, texts, value, text) => {
    const preset = texts.findIndex((t) => Number(t) === value);
    if (preset >= 0) {
      bar.value = String(preset);
      bar.setAttribute('aria-valuetext', texts[preset]);
    }
    edit.value = preset >= 0 ? texts[preset] : text;
  };
  set($('PCrossTrackBar'), $('PCrossEdit'), CrossoverTexts, s.pcross, s.pcrossText);
  set($('pmutTrackBar'), $('pmutEdit'), MutationTexts, s.pmut, s.pmutText);
  set($('pnoiseTrackBar'), $('pnoiseEdit'), MutationTexts, s.pnoise, s.pnoiseText);
}

// ---- Status, messages and files --------------------------------------------------------

function setStatus(text) {
  $('StatusPanel1').textContent = text || '';
}

function showMessage(text, title = 'ZEL World') {
  $('MessageDialogTitle').textContent = title;
  $('MessageDialogText').textContent = text;
  const dialog = $('MessageDialog');
  if (!dialog.open) dialog.showModal();
  return new Promise((resolve) => dialog.addEventListener('close', resolve, { once: true }));
}

function showError(text) {
  return showMessage(text, 'Error');
}

// Hands bytes to the browser as a download under exactly the name given.
function download(bytes, name, type = 'application/octet-stream') {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  link.hidden = true;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// The save dialog: a title and a name. Save hands the bytes over as a download under the name
// typed, within the click itself; resolves to the name, or null when cancelled.
function saveWithDialog(title, suggested, bytes, type) {
  const dialog = $('SaveDialog');
  $('SaveDialogTitle').textContent = title;
  const name = $('SaveDialogName');
  name.value = suggested;
  dialog.returnValue = '';
  let saved = null;
  const save = () => {
    if (name.value === '') return;
    saved = name.value;
    download(bytes, saved, type);
  };
  $('SaveDialogSave').addEventListener('click', save);
  dialog.showModal();
  name.select();
  return new Promise((resolve) => {
    dialog.addEventListener(
      'close',
      () => {
        $('SaveDialogSave').removeEventListener('click', save);
        resolve(dialog.returnValue === 'save' ? saved : null);
      },
      { once: true },
    );
  });
}

// The open dialog: resolves to the chosen file, or null.
function askFile(accept) {
  const input = $('OpenFileInput');
  input.accept = accept;
  input.value = '';
  return new Promise((resolve) => {
    const chosen = () => {
      input.removeEventListener('cancel', none);
      resolve(input.files && input.files[0] ? input.files[0] : null);
    };
    const none = () => {
      input.removeEventListener('change', chosen);
      resolve(null);
    };
    input.addEventListener('change', chosen, { once: true });
    input.addEventListener('cancel', none, { once: true });
    input.click();
  });
}

// ---- Result labels and list ----------------------------------------------------------

function showMeasures(m) {
  if (!m) return;
  $('CardinalityLabel').textContent = m.cardinality;
  $('SubSethoodLabel').textContent = m.subsethood;
  $('HammingLabel').textContent = m.hamming;
  $('FitnessLabel').textContent = m.fitness;
}

function showPicture(p) {
  if (!p) return;
  picture.draw(p);
  $('FSImage').setAttribute(
    'aria-label',
    p.lines.length === 0
      ? 'Fuzzy-set picture: nothing drawn yet'
      : p.lines.length === 1
        ? 'Fuzzy-set picture: the environment alone, in blue'
        : `Fuzzy-set picture: the environment in blue and the best set in red; fitness ${$('FitnessLabel').textContent.trim()}`,
  );
}

const list = {
  box: $('ZELListBox'),
  texts: [],
  first: 0,
  unit: 'generation',
  selected: -1,
};

function fillList(texts, unit, first) {
  list.texts = texts;
  list.unit = unit;
  list.first = unit === 'run' ? 1 : first;
  list.selected = -1;
  const items = texts.map((text, i) => {
    const li = document.createElement('li');
    li.id = `ZELListItem${i}`;
    li.setAttribute('role', 'option');
    li.setAttribute('aria-selected', 'false');
    const number = list.first + i;
    li.dataset.number = String(number);
    li.setAttribute('aria-label', `${unit === 'run' ? 'Run' : 'Generation'} ${number}: ${text}`);
    li.title = `${unit === 'run' ? 'Run' : 'Generation'} ${number}\n${text.match(/.{1,40}/g)?.join('\n') ?? ''}`;
    const n = document.createElement('span');
    n.className = 'number';
    n.textContent = String(number);
    n.setAttribute('aria-hidden', 'true');
    const program = document.createElement('span');
    program.className = 'program';
    program.textContent = text;
    li.append(n, program);
    return li;
  });
  list.box.replaceChildren(...items);
  list.box.removeAttribute('aria-activedescendant');
  list.box.hidden = false;
  $('ZELListForm').classList.remove('waiting');
  $('CopyProgramButton').disabled = true;
}

function selectEntry(index) {
  const items = list.box.children;
  if (list.selected >= 0 && items[list.selected]) items[list.selected].setAttribute('aria-selected', 'false');
  list.selected = index;
  if (index >= 0 && items[index]) {
    items[index].setAttribute('aria-selected', 'true');
    list.box.setAttribute('aria-activedescendant', items[index].id);
    items[index].scrollIntoView({ block: 'nearest' });
  } else {
    list.box.removeAttribute('aria-activedescendant');
  }
  $('CopyProgramButton').disabled = index < 0;
}

// Develops the selected entry again over the environment of the last experiment, with the
// current elements and blocks; the label shows the first entry that holds the same program.
async function ZELListBoxDblClick() {
  if (running) return;
  const text = list.selected >= 0 ? list.texts[list.selected] : '';
  const position = list.texts.indexOf(text);
  setStatus('');
  $('GenLabel').textContent = String(position < 0 || list.unit === 'run' ? position : list.first + position);
  const answer = await engine.call({
    command: 'develop',
    text,
    blocks: typedValue(spins.blocks),
    elements: typedValue(spins.elements),
  });
  if (answer.error) return showError(answer.error);
  showMeasures(answer.measures);
  showPicture(answer.picture);
  setStatus(answer.status);
}

list.box.addEventListener('click', (event) => {
  const item = event.target.closest('li');
  selectEntry(item ? [...list.box.children].indexOf(item) : -1);
});
list.box.addEventListener(
  'dblclick',
  act((event) => {
    // A double-click beside the entries selects nothing and shows that.
    if (!event.target.closest('li')) selectEntry(-1);
    return ZELListBoxDblClick();
  }),
);
list.box.addEventListener('keydown', (event) => {
  const n = list.texts.length;
  const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: 10, PageUp: -10 };
  if (event.key in moves && n > 0) {
    selectEntry(Math.max(0, Math.min(n - 1, (list.selected < 0 ? -1 : list.selected) + moves[event.key])));
  } else if (event.key === 'Home' && n > 0) {
    selectEntry(0);
  } else if (event.key === 'End' && n > 0) {
    selectEntry(n - 1);
  } else if (event.key === 'Enter' || event.key === ' ') {
    act(ZELListBoxDblClick)();
  } else if ((event.ctrlKey || event.metaKey) && event.key.toLowerCase() === 'c') {
    copySelected();
  } else {
    return;
  }
  event.preventDefault();
});

async function copyText(text) {
  try {
    await navigator.clipboard.writeText(text);
    return true;
  } catch {
    // Without the clipboard (a page not served securely) the text is selected for the user to copy.
    return false;
  }
}

async function copySelected() {
  if (list.selected < 0) return;
  const text = list.texts[list.selected];
  setStatus((await copyText(text)) ? `Copied: ${text}` : `Program: ${text}`);
}
$('CopyProgramButton').addEventListener('click', copySelected);

// ---- Running an experiment -------------------------------------------------------------

let running = false;
// The controls look disabled: the run has shown itself running.
let controlsOff = false;
let lastCommandLine = '';
// The file of a loaded environment, while it is in use.
let ownEnvironmentFile = '';
let population = { freeze: false, continue: false };
// What has come from the worker and is not shown yet.
let update = null;
let lastShown = 0;
let frameTimer = null;
let currentTexts = [];
let currentRun = null;
// Timings of the last run, for the benchmark.
window.zelTimings = {};

const commandButtons = [
  'StartToolButton', 'BatchToolButton', 'SaveImageToolButton', 'SaveGraphToolButton', 'OpenSettingsButton',
  'ThawButton', 'LoadEnvironmentButton',
].map($);

function updateRunControls() {
  const paused = $('PauseToolButton').getAttribute('aria-pressed') === 'true';
  $('PauseToolButton').textContent = paused ? 'Resume' : 'Pause';
  const shownRunning = running && controlsOff;
  $('StepToolButton').disabled = !(shownRunning && paused);
  $('StopToolButton').disabled = !shownRunning;
  $('CopyCommandToolButton').disabled = shownRunning || lastCommandLine === '';
  $('ClearRunsToolButton').disabled = shownRunning || chart.earlierRunCount() === 0;
  const ready = describe !== null;
  if (!running) for (const b of commandButtons) b.disabled = !ready;
  $('ContinueToolButton').disabled = !ready || running || !population.continue;
  $('FreezeButton').disabled = !ready || !population.freeze || (running && !controlsOff);
  $('BuiltInEnvironmentButton').disabled = !ready || shownRunning || ownEnvironmentFile === '';
}

function showControlsOff(off) {
  if (controlsOff === off) return;
  controlsOff = off;
  $('ReproductionPanel').disabled = off;
  $('GAPanel').disabled = off;
  $('SeedEdit').disabled = off;
  for (const b of commandButtons) b.disabled = off;
  updateRunControls();
}

async function runCommand(command) {
  if (running) return;
  setStatus('');
  const request = {
    command,
    controls: controls(),
    seed: $('SeedEdit').value,
    report: $('ReportNameEdit').value,
    paused: $('PauseToolButton').getAttribute('aria-pressed') === 'true',
    speed: Number($('SpeedComboBox').value),
    chartHasRun: chart.hasRun(),
  };
  running = true;
  window.zelTimings = { click: performance.now() };
  const answer = await engine.call(request);
  if (answer.error) {
    running = false;
    updateRunControls();
    await showError(answer.error);
    return;
  }
  // The page shows the start with the run's first frame, a frame's time from now (or with its
  // outcome, if it is over by then), so that a short run is painted once, at its end.
  currentRun = answer;
  currentTexts = [];
  dropOutputs();
  lastCommandLine = answer.commandLine;
  update = { start: answer, generations: [], runs: [], texts: [] };
  lastShown = performance.now();
  clearTimeout(frameTimer);
  frameTimer = setTimeout(showUpdate, ShowInterval);
}

engine.onSlice = (answer) => {
  if (!update) update = { generations: [], runs: [], texts: [] };
  update.generations.push(...answer.generations);
  update.runs.push(...answer.runs);
  update.texts.push(...answer.texts);
  if (answer.picture) update.picture = answer.picture;
  if (answer.measures) update.measures = answer.measures;
  if (answer.population) update.population = answer.population;
  update.state = answer.state;
  if (answer.end) update.end = answer.end;
  if (answer.error) update.error = answer.error;
  const since = performance.now() - lastShown;
  // The end of a run is shown at once; everything else waits for its turn.
  if (answer.state === 'ended' || since >= ShowInterval) {
    showUpdate();
  } else if (frameTimer === null) {
    frameTimer = setTimeout(showUpdate, ShowInterval - since);
  }
};

function showUpdate() {
  clearTimeout(frameTimer);
  frameTimer = null;
  if (!update) return;
  const u = update;
  update = null;
  lastShown = performance.now();
  const finished = u.state === 'ended';
  const outcome = finished && !u.error;
  if (u.start) showPendingStart(u.start, outcome);
  showRecords(u, outcome);
  if (finished) finishRun(u);
  else if (u.population) {
    population = u.population;
    updateRunControls();
  }
}

function showPendingStart(start, outcome) {
  $('RunMessage').textContent = '';
  if (!outcome) {
    list.box.hidden = true;
    $('ZELListForm').classList.add('waiting');
  }
  setStatus(start.status);
  chart.startRun({
    keep: start.keepEarlier,
    clear: start.clearEarlier,
    names: start.earlierNames,
    axis: start.axis,
    axisTitle: start.axisTitle,
    firstX: start.firstX,
  });
  $('SeedUsedLabel').textContent = start.seedText;
  const bar = $('EvolProgressBar');
  bar.hidden = false;
  bar.max = Math.max(1, start.last - 1);
  bar.value = 0;
  bar.dataset.last = start.last;
  if (!outcome) showControlsOff(true);
  updateRunControls();
}

function setProgress(position) {
  const bar = $('EvolProgressBar');
  const last = Number(bar.dataset.last || 1);
  bar.value = Math.min(Math.max(position, 1), last) - 1;
}

function showRecords(u, outcome) {
  if (u.picture && !outcome) showPicture(u.picture);
  const points = u.generations.length ? u.generations : u.runs;
  chart.append(points);
  currentTexts.push(...u.texts);
  chart.refresh();
  if (outcome) return;
  const g = u.generations;
  const r = u.runs;
  // Generation 0 leaves the bar where it was; every later generation (every run) moves it.
  if (g.length && g[g.length - 1][0] > 0) setProgress(g[g.length - 1][0]);
  if (r.length) setProgress(r[r.length - 1][0] + 1);
  if (g.length) $('GenLabel').textContent = String(g[g.length - 1][0]);
  if (r.length) $('GenLabel').textContent = String(r[r.length - 1][0]);
  if (u.measures) showMeasures(u.measures);
  if (u.generations.length || u.runs.length) $('EvolChart').setAttribute('aria-label', chart.describe());
}

function finishRun(u) {
  running = false;
  showControlsOff(false);
  if (u.population) population = u.population;
  if (u.error) {
    // The report keeps what was written before the failure; the list stays hidden.
    list.box.hidden = true;
    updateRunControls();
    takeOutputs();
    showError(u.error);
    return;
  }
  const end = u.end;
  if (end.stopped) setStatus(end.status);
  $('RunMessage').textContent = end.message;
  setProgress(1);
  fillList(currentTexts, end.listUnit, end.listFirst);
  showMeasures(end.measures);
  $('GenLabel').textContent = String(end.genLabel);
  showPicture(u.picture);
  $('EvolChart').setAttribute('aria-label', chart.describe());
  updateRunControls();
  window.zelTimings.shown = performance.now();
  takeOutputs().then(() => {
    window.zelTimings.outputs = performance.now();
  });
}

onClick('StartToolButton', async () => runCommand('start'));
onClick('BatchToolButton', async () => runCommand('batch'));
onClick('ContinueToolButton', async () => runCommand('continue'));

onClick('PauseToolButton', async () => {
  const button = $('PauseToolButton');
  const paused = button.getAttribute('aria-pressed') !== 'true';
  button.setAttribute('aria-pressed', String(paused));
  if (running) engine.call({ command: 'control', what: paused ? 'pause' : 'resume' });
  updateRunControls();
});
onClick('StepToolButton', async () => {
  if (running) engine.call({ command: 'control', what: 'step' });
});
onClick('StopToolButton', async () => {
  if (running) {
    window.zelTimings.stop = performance.now();
    engine.call({ command: 'control', what: 'stop' });
  }
});
$('SpeedComboBox').addEventListener('change', () => {
  engine.call({ command: 'control', what: 'speed', speed: Number($('SpeedComboBox').value) });
});

onClick('CopyCommandToolButton', async () => {
  setStatus('');
  if (!lastCommandLine) return;
  const copied = await copyText(lastCommandLine);
  setStatus(copied ? `Copied: ${lastCommandLine}` : `Command line: ${lastCommandLine}`);
});

onClick('ClearRunsToolButton', async () => {
  setStatus('');
  chart.clearEarlierRuns();
  engine.call({ command: 'clearEarlierRuns' });
  updateRunControls();
});

// ---- Files ----------------------------------------------------------------------------

// The run's files are taken from the engine as soon as the run ends, so that a download is the
// user's own click on a link, under the name typed at that moment.
const outputs = [
  { what: 'report', link: 'DownloadReportButton', name: null },
  { what: 'best', link: 'DownloadBestListButton', name: 'BestListNameEdit' },
  { what: 'series', link: 'DownloadSeriesButton', name: 'SeriesNameEdit' },
];

function setOutput(output, bytes, name) {
  const link = $(output.link);
  if (link.href) URL.revokeObjectURL(link.href);
  if (!bytes) {
    link.removeAttribute('href');
    link.removeAttribute('download');
    link.setAttribute('aria-disabled', 'true');
    return;
  }
  link.href = URL.createObjectURL(new Blob([bytes], { type: 'text/plain' }));
  link.download = name;
  link.setAttribute('aria-disabled', 'false');
}

async function takeOutputs() {
  for (const output of outputs) {
    const answer = await engine.call({ command: 'download', what: output.what, name: output.what });
    if (answer.error) console.warn(answer.error);
    setOutput(output, answer.error ? null : answer.data, output.name ? $(output.name).value : answer.name);
  }
}

function dropOutputs() {
  for (const output of outputs) setOutput(output, null);
}

for (const output of outputs.filter((o) => o.name)) {
  $(output.name).addEventListener('input', () => {
    if ($(output.link).href) $(output.link).download = $(output.name).value;
  });
}

onClick('SaveSettingsButton', async () => {
  setStatus('');
  const answer = await engine.call({ command: 'saveSettings', controls: controls(), seed: $('SeedEdit').value });
  if (answer.error) return showError(answer.error);
  const name = await saveWithDialog('Save Settings', 'settings.json', answer.data, 'application/json');
  if (name !== null) setStatus(`Settings saved to ${name}`);
  return undefined;
});

function useEnvironment(answer) {
  ownEnvironmentFile = answer.environmentFile || '';
  const own = ownEnvironmentFile !== '';
  // The file sets the number of elements, and an environment of one's own is never random.
  spins.elements.disabled = own;
  $('RandomFitCheckBox').disabled = own;
  spins.elements.title = own
    ? `Number of elements of every fuzzy set: ${answer.elements}, those of the environment of ${ownEnvironmentFile}.`
    : 'Number of elements of every fuzzy set.';
  if (own && answer.elements) {
    spins.elements.value = answer.elements;
    $('RandomFitCheckBox').checked = false;
  }
  if (answer.picture) showPicture(answer.picture);
}

async function openFile(command, title, accept, apply) {
  if (running) return;
  setStatus('');
  const file = await askFile(accept);
  if (!file) return;
  const bytes = await file.arrayBuffer();
  const answer = await engine.call({ command, name: file.name }, bytes);
  if (answer.error) {
    await showError(answer.error);
    return;
  }
  if (answer.ignored) return;
  apply(answer);
  setStatus(answer.status);
  updateRunControls();
}

onClick('OpenSettingsButton', async () =>
  openFile('openSettings', 'Open Settings', '.json,application/json', (answer) => {
    settingsToControls(answer.settings);
    $('SeedEdit').value = answer.seed;
    // An experiment without an environment of its own runs on the built-in one.
    useEnvironment(answer);
  }),
);

onClick('LoadEnvironmentButton', async () =>
  openFile('loadEnvironment', 'Load Environment', '.json,application/json', useEnvironment),
);

onClick('BuiltInEnvironmentButton', async () => {
  if (running) return;
  const answer = await engine.call({ command: 'builtInEnvironment', random: $('RandomFitCheckBox').checked });
  if (answer.error) return showError(answer.error);
  useEnvironment(answer);
  setStatus(answer.status);
  updateRunControls();
  return undefined;
});

onClick('ThawButton', async () =>
  openFile('thaw', 'Thaw Population', '.json,application/json', (answer) => {
    useEnvironment(answer);
    settingsToControls(answer.settings);
    if (ownEnvironmentFile) $('RandomFitCheckBox').checked = false;
    showMeasures(answer.measures);
    $('GenLabel').textContent = String(answer.genLabel);
    showPicture(answer.picture);
    population = answer.population;
  }),
);

onClick('FreezeButton', async () => {
  setStatus('');
  const answer = await engine.call({ command: 'freeze' });
  if (answer.error) return showError(answer.error);
  if (!answer.data) {
    setStatus(answer.status);
    return undefined;
  }
  const name = await saveWithDialog('Freeze Population', 'population.json', answer.data, 'application/json');
  if (name !== null) setStatus(`Population of generation ${answer.generation} frozen in ${name}`);
  return undefined;
});

let sweepPlot = null;
onClick('OpenSweepButton', async () => {
  setStatus('');
  const file = await askFile('.csv,text/csv');
  if (!file) return;
  const answer = await engine.call({ command: 'openSweep', name: file.name }, await file.arrayBuffer());
  if (answer.error) {
    await showError(answer.error);
    return;
  }
  const panel = $('SweepPanel');
  $('SweepTitle').textContent = `Sweep Results: ${file.name}`;
  panel.hidden = false;
  if (sweepPlot) sweepPlot.destroy();
  sweepPlot = drawSweepChart($('SweepChart'), answer.curves, 'Agent Evolution: mean of the runs with its 95% interval');
  panel.scrollIntoView({ block: 'nearest' });
  $('CloseSweepButton').focus();
  setStatus(answer.status);
});
onClick('CloseSweepButton', async () => {
  $('SweepPanel').hidden = true;
  if (sweepPlot) sweepPlot.destroy();
  sweepPlot = null;
  $('OpenSweepButton').focus();
});

onClick('SaveImageToolButton', async () => {
  setStatus('');
  if (!picture.drawn) {
    setStatus('Nothing is drawn yet, so there is no image to save');
    return;
  }
  const name = await saveWithDialog('Save Solution Image', 'image.bmp', canvasToBmp($('FSImage')), 'image/bmp');
  if (name !== null) setStatus(`Image saved to ${name}`);
});

onClick('SaveGraphToolButton', async () => {
  setStatus('');
  const name = await saveWithDialog('Save Chart Image', 'graph.bmp', canvasToBmp(chart.render()), 'image/bmp');
  if (name !== null) setStatus(`Chart saved to ${name}`);
});

// ---- Start-up -------------------------------------------------------------------------

function applyDescription(d) {
  for (const [key, input] of Object.entries(spins)) {
    const [lo, hi] = d.ranges[key];
    input.min = String(lo);
    input.max = String(hi);
  }
  const s = d.defaults;
  spins.pop.value = s.pop;
  spins.generations.value = s.generations;
  spins.elements.value = s.elements;
  spins.blocks.value = s.blocks;
  $(`ReprodRadioGroupItem${s.reproduction}`).checked = true;
  ReprodRadioGroupClick();
  RatesCheckBoxClick();
}

// Until the engine has said what the controls hold, nothing can start.
for (const b of commandButtons) b.disabled = true;
ReprodRadioGroupClick();
RatesCheckBoxClick();
engine.ready.then(
  (d) => {
    describe = d;
    applyDescription(d);
    $('LoadingNote').textContent = '';
    $('LoadingNote').hidden = true;
    document.body.dataset.ready = 'true';
    updateRunControls();
    picture.resize();
  },
  (error) => {
    $('LoadingNote').textContent = `The engine could not be loaded: ${error.message}`;
  },
);
