// The engine's Web Worker. It holds the laboratory compiled to WebAssembly, answers the
// page's requests, and runs an experiment in slices: after each slice it posts what
// happened and lets its own message queue run (the page's Stop, Pause, Step and speed)
// before the next one, so the page never waits for the engine and the engine never blocks.
/* global ZelWorldEngine */
importScripts('zelworld-web.js');

let engine = null;
const ready = ZelWorldEngine().then((module) => {
  engine = module;
});

function call(request) {
  return JSON.parse(engine.ccall('zw_call', 'string', ['string'], [JSON.stringify(request)]));
}

// The next slice of a run: at once through a channel of the worker's own (a timer of 0 ms
// would be held back to 4 ms), or after the delay the speed asks for.
const channel = new MessageChannel();
let sliceDue = false;
let sliceTimer = null;
let running = false;
channel.port1.onmessage = () => {
  sliceDue = false;
  runSlice();
};

function scheduleSlice(delay) {
  if (!running) return;
  if (sliceTimer !== null) {
    clearTimeout(sliceTimer);
    sliceTimer = null;
  }
  if (delay > 0) {
    sliceTimer = setTimeout(() => {
      sliceTimer = null;
      runSlice();
    }, delay);
  } else if (!sliceDue) {
    sliceDue = true;
    channel.port2.postMessage(null);
  }
}

function runSlice() {
  if (!running) return;
  const answer = call({ command: 'slice' });
  if (answer.state === 'ended') running = false;
  postMessage({ event: 'slice', answer });
  if (answer.state === 'running') scheduleSlice(answer.delay);
}

// Requests that read a file the page opened: the bytes go under /in by the file's own name.
const opening = new Set(['openSettings', 'thaw', 'loadEnvironment', 'openSweep']);
const starting = new Set(['start', 'batch', 'continue']);

function answerRequest(request, bytes) {
  if (opening.has(request.command)) {
    engine.FS.writeFile(`/in/${request.name}`, new Uint8Array(bytes));
  }
  let answer;
  try {
    answer = call(request);
  } finally {
    if (opening.has(request.command)) engine.FS.unlink(`/in/${request.name}`);
  }
  // A command that wrote a file hands over its bytes, exactly as written.
  let data = null;
  if (!answer.error && answer.path) {
    data = engine.FS.readFile(answer.path);
    if (request.command !== 'download' || request.what !== 'report') engine.FS.unlink(answer.path);
  }
  return { answer, data };
}

onmessage = async (event) => {
  await ready;
  const { id, request, bytes } = event.data;
  let reply;
  try {
    reply = answerRequest(request, bytes);
  } catch (error) {
    // A failure of the worker's own file system names its error number, as the C library would.
    const what = error && error.errno !== undefined ? `file system error ${error.errno}` : String(error && error.message ? error.message : error);
    reply = { answer: { error: `${request.command}: ${what}` }, data: null };
  }
  postMessage({ id, answer: reply.answer, data: reply.data }, reply.data ? [reply.data.buffer] : []);
  if (starting.has(request.command) && !reply.answer.error) {
    running = true;
    scheduleSlice(0);
  } else if (request.command === 'control' && running) {
    // The gate decides what a change means: go on, wait for the next turn, or stop.
    scheduleSlice(0);
  }
};

ready.then(() => postMessage({ event: 'ready', describe: call({ command: 'describe' }) }));
