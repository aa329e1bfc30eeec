// The page's side of the engine's worker: requests with answers as promises, and the
// slices of a run as they come. The page never waits for the worker.

export class Engine {
  constructor(url) {
    this.worker = new Worker(url);
    this.pending = new Map();
    this.nextId = 1;
    this.onSlice = () => {};
    this.ready = new Promise((resolve, reject) => {
      this.worker.onerror = (event) => reject(new Error(event.message || 'The engine could not be loaded'));
      this.worker.onmessage = (event) => {
        const message = event.data;
        if (message.event === 'ready') {
          this.describe = message.describe;
          resolve(message.describe);
        } else if (message.event === 'slice') {
          this.onSlice(message.answer);
        } else {
          const done = this.pending.get(message.id);
          this.pending.delete(message.id);
          if (done) done({ ...message.answer, data: message.data });
        }
      };
    });
  }

  // Sends a request ({command, ...}); bytes are the contents of a file the page opened.
  call(request, bytes = null) {
    const id = this.nextId++;
    return new Promise((resolve) => {
      this.pending.set(id, resolve);
      this.worker.postMessage({ id, request, bytes }, bytes ? [bytes] : []);
    });
  }
}
