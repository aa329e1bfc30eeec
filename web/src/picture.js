// The fuzzy-set picture: a canvas whose pixels are the screen's own (its size times the
// device pixel ratio). The engine draws the sets for that size and hands over the lines; the
// canvas only strokes them. Pictures are saved as 24-bit BMP files.

export class Picture {
  constructor(canvas, requestLines) {
    this.canvas = canvas;
    this.requestLines = requestLines;
    this.drawn = false;
    this.observer = new ResizeObserver(() => this.resize());
    this.observer.observe(canvas);
    matchMedia(`(resolution: ${devicePixelRatio}dppx)`).addEventListener('change', () => this.resize(), {
      once: true,
    });
  }

  // The size in device pixels that the engine draws for.
  size() {
    const box = this.canvas.getBoundingClientRect();
    const ratio = window.devicePixelRatio || 1;
    return { width: Math.max(1, Math.round(box.width * ratio)), height: Math.max(1, Math.round(box.height * ratio)) };
  }

  async resize() {
    const { width, height } = this.size();
    if (width === this.canvas.width && height === this.canvas.height && this.sizeTold) return;
    this.sizeTold = true;
    const answer = await this.requestLines(width, height);
    if (answer && answer.picture) this.draw(answer.picture);
  }

  // Lines as the engine drew them: [{colour, points: [x0, y0, x1, y1, ...]}].
  draw(picture) {
    if (!picture) return;
    const canvas = this.canvas;
    if (canvas.width !== picture.width || canvas.height !== picture.height) {
      canvas.width = picture.width;
      canvas.height = picture.height;
    }
    const g = canvas.getContext('2d');
    g.fillStyle = '#ffffff';
    g.fillRect(0, 0, canvas.width, canvas.height);
    if (picture.lines.length === 0) return;
    this.drawn = true;
    g.lineWidth = Math.max(1, Math.round(window.devicePixelRatio || 1));
    g.lineJoin = 'round';
    for (const line of picture.lines) {
      const p = line.points;
      g.strokeStyle = line.colour;
      g.beginPath();
      g.moveTo(p[0] + 0.5, p[1] + 0.5);
      for (let i = 2; i < p.length; i += 2) g.lineTo(p[i] + 0.5, p[i + 1] + 0.5);
      if (p.length === 2) g.lineTo(p[0] + 1.5, p[1] + 0.5);
      g.stroke();
    }
  }
}

// The pixels of a canvas as a 24-bit BMP file, rows bottom up, each padded to 4 bytes.
export function canvasToBmp(canvas) {
  const { width, height } = canvas;
  const pixels = canvas.getContext('2d').getImageData(0, 0, width, height).data;
  const row = Math.ceil((width * 3) / 4) * 4;
  const size = 54 + row * height;
  const bytes = new Uint8Array(size);
  const view = new DataView(bytes.buffer);
  bytes[0] = 0x42;
  bytes[1] = 0x4d;
  view.setUint32(2, size, true);
  view.setUint32(10, 54, true);
  view.setUint32(14, 40, true);
  view.setInt32(18, width, true);
  view.setInt32(22, height, true);
  view.setUint16(26, 1, true);
  view.setUint16(28, 24, true);
  view.setUint32(34, row * height, true);
  view.setInt32(38, 2835, true);
  view.setInt32(42, 2835, true);
  for (let y = 0; y < height; ++y) {
    const out = 54 + (height - 1 - y) * row;
    for (let x = 0; x < width; ++x) {
      const i = (y * width + x) * 4;
      const o = out + x * 3;
      // A transparent pixel is white, as on the page.
      const a = pixels[i + 3] / 255;
      bytes[o] = Math.round(pixels[i + 2] * a + 255 * (1 - a));
      bytes[o + 1] = Math.round(pixels[i + 1] * a + 255 * (1 - a));
      bytes[o + 2] = Math.round(pixels[i] * a + 255 * (1 - a));
    }
  }
  return bytes;
}
