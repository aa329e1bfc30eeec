// The charts of the page on uPlot: "Agent Evolution" (best fitness and genotype percentage
// per generation or run, with the faded curves of up to three earlier runs), and the chart
// of a sweep's aggregate (a panel a measure, with the mean curve of every condition over its
// 95% band).
import uPlot from './uPlot.esm.js';

const Red = 'rgb(255, 0, 0)';
const Blue = 'rgb(0, 128, 255)';
// The older a run, the fainter its curve; the dashes tell the curves apart.
const EarlierLooks = [
  { stroke: 'rgba(255, 0, 0, 0.59)', dash: [] },
  { stroke: 'rgba(255, 0, 0, 0.43)', dash: [8, 4] },
  { stroke: 'rgba(255, 0, 0, 0.31)', dash: [2, 3] },
];
export const MaxEarlierRuns = EarlierLooks.length;

// Grid lines every 5 on the fixed scale of 0 to 100, labelled every 20.
function fitnessAxis(label) {
  return {
    label,
    labelFont: 'bold 12px sans-serif',
    stroke: '#000080',
    splits: () => Array.from({ length: 21 }, (_, i) => i * 5),
    values: (u, splits) => splits.map((v) => (v % 20 === 0 ? String(v) : '')),
    grid: { stroke: '#e4e4e4', width: 1 },
    ticks: { stroke: '#c0c0c0', width: 1, size: 4 },
  };
}

// Whole numbers only on the bottom axis, about ten of them at most.
function wholeSplits(u, axis, min, max) {
  let step = 1;
  for (let base = 1; (max - min) / step > 10; base *= 10) {
    for (const m of [1, 2, 5]) if ((max - min) / step > 10) step = m * base;
  }
  const out = [];
  for (let v = Math.ceil(min / step) * step; v <= max; v += step) out.push(v);
  return out;
}

// The chart's plot takes the width it is given; on a wide screen it shares the height of
// the screen with the picture below it.
function sizeOf(element, aspect) {
  const width = Math.max(200, Math.floor(element.clientWidth));
  const shared = window.innerWidth >= 760 ? Math.max(160, (window.innerHeight - 250) / 2 - 40) : Infinity;
  return { width, height: Math.round(Math.max(160, Math.min(width * aspect, shared))) };
}

export class EvolutionChart {
  constructor(element) {
    this.element = element;
    this.axis = [0, 100];
    this.axisTitle = 'Generations';
    this.current = { firstX: 0, maxGen: [], genotype: [] };
    this.earlier = [];
    this.plot = null;
    this.build();
    new ResizeObserver(() => this.fit()).observe(element);
  }

  aspect() {
    return window.innerWidth < 700 ? 0.75 : 0.5;
  }

  build() {
    if (this.plot) this.plot.destroy();
    const series = [
      { label: this.axisTitle === 'Runs' ? 'Run' : 'Generation' },
      { label: 'MaxGen', stroke: Red, width: 1.5, points: { show: false } },
      { label: 'w/ Genotype', stroke: Blue, width: 1.5, points: { show: false } },
    ];
    this.earlier.forEach((run, i) =>
      series.push({
        label: run.name || 'earlier run',
        stroke: EarlierLooks[i].stroke,
        dash: EarlierLooks[i].dash,
        width: 1.5,
        points: { show: false },
      }),
    );
    const options = {
      ...sizeOf(this.element, this.aspect()),
      title: 'Agent Evolution',
      scales: {
        x: { time: false, range: () => this.axis },
        y: { range: [0, 100] },
      },
      axes: [
        {
          label: this.axisTitle,
          labelFont: 'bold 12px sans-serif',
          stroke: '#800000',
          splits: wholeSplits,
          grid: { show: false },
        },
        fitnessAxis('Fitness/Ratio'),
      ],
      series,
      legend: { live: false },
      cursor: { drag: { x: false, y: false } },
    };
    this.plot = new uPlot(options, this.data(), this.element);
  }

  fit() {
    if (!this.plot) return;
    const size = sizeOf(this.element, this.aspect());
    if (size.width !== this.plot.width || size.height !== this.plot.height) this.plot.setSize(size);
  }

  // Every series on one row of whole x values; a series has no value where it has no point.
  data() {
    const all = [this.current, ...this.earlier.map((r) => r.curve)];
    let lo = this.axis[0];
    let hi = this.axis[1];
    for (const c of all) {
      if (c.maxGen.length === 0) continue;
      lo = Math.min(lo, c.firstX);
      hi = Math.max(hi, c.firstX + c.maxGen.length - 1);
    }
    const xs = [];
    for (let x = lo; x <= hi; ++x) xs.push(x);
    const row = (curve, values) => xs.map((x) => {
      const v = values[x - curve.firstX];
      return v === undefined ? null : v;
    });
    return [
      xs,
      row(this.current, this.current.maxGen),
      row(this.current, this.current.genotype),
      ...this.earlier.map((r) => row(r.curve, r.curve.maxGen)),
    ];
  }

  refresh() {
    this.plot.setData(this.data(), true);
  }

  hasRun() {
    return this.current.maxGen.length > 0;
  }

  // A new run: keeps the current curve as the newest earlier run when asked, or forgets
  // the earlier runs, names them, and starts the current curves afresh.
  startRun({ keep, clear, names, axis, axisTitle, firstX }) {
    if (clear) this.earlier = [];
    if (keep && this.hasRun()) {
      this.earlier.unshift({ curve: this.current, name: '' });
      this.earlier.length = Math.min(this.earlier.length, MaxEarlierRuns);
    }
    this.earlier.forEach((run, i) => {
      run.name = names[i] || run.name;
    });
    this.axis = axis;
    this.axisTitle = axisTitle;
    this.current = { firstX, maxGen: [], genotype: [] };
    this.build();
  }

  append(points) {
    for (const [, maxGen, genotype] of points) {
      this.current.maxGen.push(maxGen);
      this.current.genotype.push(genotype);
    }
  }

  clearEarlierRuns() {
    this.earlier = [];
    this.build();
  }

  earlierRunCount() {
    return this.earlier.length;
  }

  // What a screen reader says of the chart.
  describe() {
    const n = this.current.maxGen.length;
    if (n === 0) return 'Agent Evolution: no run yet';
    const unit = this.axisTitle === 'Runs' ? 'run' : 'generation';
    const last = this.current.firstX + n - 1;
    return `Agent Evolution: MaxGen ${this.current.maxGen[n - 1]} and ${this.current.genotype[n - 1]}% with genotype at ${unit} ${
      this.axisTitle === 'Runs' ? last + 1 : last
    }; ${this.earlier.length} earlier runs`;
  }

  // The chart as shown, on a white background with its title and legend, for Save Graph.
  render() {
    const ratio = window.devicePixelRatio || 1;
    const plotCanvas = this.plot.ctx.canvas;
    const legendRows = 3 + this.earlier.length;
    const out = document.createElement('canvas');
    out.width = plotCanvas.width;
    const titleHeight = Math.round(28 * ratio);
    const legendHeight = Math.round((legendRows * 18 + 8) * ratio);
    out.height = titleHeight + plotCanvas.height + legendHeight;
    const g = out.getContext('2d');
    g.fillStyle = '#ffffff';
    g.fillRect(0, 0, out.width, out.height);
    g.fillStyle = '#000000';
    g.font = `bold ${Math.round(14 * ratio)}px sans-serif`;
    g.textAlign = 'center';
    g.fillText('Agent Evolution', out.width / 2, titleHeight * 0.7);
    g.drawImage(plotCanvas, 0, titleHeight);
    g.textAlign = 'left';
    g.font = `${Math.round(12 * ratio)}px sans-serif`;
    const entries = [
      ['MaxGen', Red],
      ['w/ Genotype', Blue],
      ...this.earlier.map((r, i) => [r.name, EarlierLooks[i].stroke]),
    ];
    entries.forEach(([name, colour], i) => {
      const y = titleHeight + plotCanvas.height + (i * 18 + 14) * ratio;
      g.fillStyle = colour;
      g.fillRect(10 * ratio, y - 8 * ratio, 24 * ratio, 3 * ratio);
      g.fillStyle = '#000000';
      g.fillText(name, 42 * ratio, y);
    });
    return out;
  }
}

// Colours that stay apart from each other, in print as on screen.
const Palette = [
  [220, 30, 30], [0, 128, 255], [40, 160, 60], [150, 70, 190], [240, 140, 0],
  [0, 170, 170], [120, 80, 40], [230, 80, 170], [90, 90, 90], [170, 170, 0],
];

// Past the palette, the same colours again with other lines: dashed, dotted, dash-dot.
const Dashes = [[], [8, 5], [2, 4], [8, 4, 2, 4]];

// What each measure of a sweep is: its panel's title, its axis, and the range its values can
// take (the axis fitted to the bands stays within it; no upper bound is null).
const MeasureTexts = {
  best_fitness: ['Best fitness', 'fitness', 0, 100],
  avg_fitness: ['Average fitness', 'fitness', 0, 100],
  min_fitness: ['Lowest fitness', 'fitness', 0, 100],
  best_so_far: ['Best fitness so far', 'fitness', 0, 100],
  genotype_percent: ['Genotype agents', '% of the population', 0, 100],
  distinct_programs: ['Distinct programs', 'programs', 0, null],
  mean_hamming: ['Mean Hamming distance', 'bits between two programs', 0, null],
};
const MeasureOrder = Object.keys(MeasureTexts);

// An axis from Lo to a round value above the highest band, within the measure's range.
function fittedRange(lo, hi, highest) {
  if (hi !== null) return [lo, hi];
  const top = Math.max(1, highest);
  let step = 1;
  for (let base = 1; top / step > 10; base *= 10) {
    for (const m of [1, 2, 5]) if (top / step > 10) step = m * base;
  }
  return [lo, Math.ceil((top * 1.02) / step) * step];
}

// The chart of a sweep: one panel a measure, each with the mean curve of every condition
// over its 95% band, from the curves as the engine read them from aggregate.csv. The
// colour of a condition is the same in every panel. Returns what destroy() takes away.
export function drawSweepChart(element, curves, title) {
  element.textContent = '';
  const labels = [];
  for (const c of curves) if (!labels.includes(c.label)) labels.push(c.label);
  const measures = [...new Set(curves.map((c) => c.measure))].sort((a, b) => {
    const ia = MeasureOrder.indexOf(a), ib = MeasureOrder.indexOf(b);
    return (ia < 0 ? MeasureOrder.length : ia) - (ib < 0 ? MeasureOrder.length : ib) || (a < b ? -1 : a > b ? 1 : 0);
  });
  const xs = [...new Set(curves.flatMap((c) => c.generation))].sort((a, b) => a - b);
  const index = new Map(xs.map((x, i) => [x, i]));
  const last = xs.length ? Math.max(1, xs[xs.length - 1]) : 1;
  const heading = document.createElement('p');
  heading.className = 'sweep-caption';
  heading.textContent = title;
  element.append(heading);
  const grid = document.createElement('div');
  grid.className = 'sweep-panels';
  element.append(grid);
  const plots = [];
  // Two panels side by side where there is room for them.
  const across = measures.length > 1 && grid.clientWidth >= 700 ? 2 : 1;
  const width = Math.max(200, Math.floor((grid.clientWidth - (across - 1) * 16) / across));
  for (const measure of measures) {
    const [panelTitle, axisTitle, lo, hi] = MeasureTexts[measure] ?? [measure, measure, null, null];
    const mine = curves.filter((c) => c.measure === measure);
    const data = [xs];
    const series = [{ label: 'Generation' }];
    const bands = [];
    let highest = 0;
    let lowest = Infinity;
    for (const c of mine) {
      const colour = Palette[labels.indexOf(c.label) % Palette.length];
      const row = (values) => {
        const out = new Array(xs.length).fill(null);
        c.generation.forEach((g, i) => {
          out[index.get(g)] = values[i];
        });
        return out;
      };
      for (const v of c.high) highest = Math.max(highest, v);
      for (const v of c.low) lowest = Math.min(lowest, v);
      data.push(row(c.high), row(c.low), row(c.mean));
      const high = data.length - 3;
      series.push(
        { label: `${c.label} upper`, stroke: 'transparent', points: { show: false } },
        { label: `${c.label} lower`, stroke: 'transparent', points: { show: false } },
        {
          label: c.label,
          stroke: `rgb(${colour.join(',')})`,
          width: 2,
          dash: Dashes[Math.floor(labels.indexOf(c.label) / Palette.length) % Dashes.length],
          points: { show: false },
        },
      );
      bands.push({ series: [high, high + 1], fill: `rgba(${colour.join(',')}, 0.2)` });
    }
    const range = lo === null ? [Math.min(0, lowest), Math.max(1, highest)] : fittedRange(lo, hi, highest);
    const panel = document.createElement('figure');
    panel.className = 'sweep-panel';
    panel.dataset.measure = measure;
    grid.append(panel);
    const plot = new uPlot(
      {
        width,
        height: Math.round(Math.max(160, Math.min(width * 0.62, 320))),
        title: panelTitle,
        scales: { x: { time: false, range: () => [0, last] }, y: { range: () => range } },
        axes: [
          { label: 'Generations', labelFont: 'bold 12px sans-serif', stroke: '#800000', splits: wholeSplits, grid: { show: false } },
          hi === 100 && lo === 0
            ? fitnessAxis(axisTitle)
            : { label: axisTitle, labelFont: 'bold 12px sans-serif', stroke: '#000080', splits: wholeSplits },
        ],
        series,
        bands,
        legend: { show: false },
        cursor: { drag: { x: false, y: false } },
      },
      data,
      panel,
    );
    panel.setAttribute('role', 'img');
    panel.setAttribute(
      'aria-label',
      `${panelTitle}: ${mine.length} conditions, ${axisTitle} from ${range[0]} to ${range[1]} over generations 0 to ${last}`,
    );
    plots.push(plot);
  }
  // One legend for every panel: a condition's colour and line are the same in each.
  const legend = document.createElement('ul');
  legend.className = 'sweep-legend';
  labels.forEach((label, i) => {
    const entry = document.createElement('li');
    const sample = document.createElement('canvas');
    const ratio = window.devicePixelRatio || 1;
    sample.width = Math.round(36 * ratio);
    sample.height = Math.round(10 * ratio);
    sample.setAttribute('aria-hidden', 'true');
    const g = sample.getContext('2d');
    g.scale(ratio, ratio);
    g.strokeStyle = `rgb(${Palette[i % Palette.length].join(',')})`;
    g.lineWidth = 2.5;
    g.setLineDash(Dashes[Math.floor(i / Palette.length) % Dashes.length]);
    g.beginPath();
    g.moveTo(0, 5);
    g.lineTo(36, 5);
    g.stroke();
    entry.append(sample, document.createTextNode(label));
    legend.append(entry);
  });
  element.append(legend);
  element.setAttribute(
    'aria-label',
    `${title}: ${labels.length} conditions (${labels.join('; ')}), ${measures.length} measures, mean curves with their 95% bands`,
  );
  return { destroy: () => plots.forEach((p) => p.destroy()) };
}
