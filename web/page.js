// The demo page's own script (the build puts it into shell.html): the page's
// state in one object (state), changed only through change(), which redraws
// the sign on the dark plate from it (signView); every way a visit can fail,
// in one table (failures); the sound the program plays on (sound); and the
// hooks between the page and the program.
//
// The hooks, all of them:
//   Module.brakvaneSound                  the sound object below. WebMusic.cpp
//                                         reads its buffer (filling it with
//                                         the decoded track), silent, context
//                                         (none until the first frame), tried
//                                         and context.state, and calls
//                                         play(lead), heardAt(when) and stop()
//   Module.brakvaneStage(name, decoded)   main.cpp: where the demo is
//   Module.brakvaneFailed(what)           main.cpp: what the program lacks
//   Module._brakvaneWake()                the page: sound may run, go on
//   Module.brakvaneFrames, brakvaneTime   main.cpp: frames drawn, and the
//                                         moment the last one showed
//   window.brakvaneFrameLog               main.cpp appends each frame to it
//                                         where a test put one in the page
// demoStage (global, the state's stage) is read by the tests too.

// "?t=25.3&spectrum=0.4" fixes the moment drawn (see PageOptions.h).
var pageArguments = [];
var query = new URLSearchParams(location.search);
if (query.has('t')) pageArguments.push('--at', query.get('t'));
if (query.has('spectrum')) pageArguments.push('--spectrum', query.get('spectrum'));

// Opened from the disk, the page cannot read its files; it says so at once.
var fromDisk = location.protocol === 'file:';
// The program, asked for before the code that compiles it has arrived.
var programFile = fromDisk ? null : fetch('index.wasm', { credentials: 'same-origin' });
if (programFile) programFile.catch(function() {});

var stage = document.getElementById('stage');
var canvas = document.getElementById('canvas');
var sign = document.getElementById('sign');
var signText = document.getElementById('sign-text');
var signDetail = document.getElementById('sign-detail');
var signAction = document.getElementById('sign-action');
var bar = document.getElementById('bar');
var fill = document.getElementById('fill');

// How long a download may stand still, and how long sound may take to
// start after the visitor's click, before the page says so.
var stallSeconds = 15;
var soundPatienceSeconds = 4;

// What can happen to a visit, and what the sign then says: its headline, the
// detail (from what is known of it), and the button's action, if any. The
// first eight end the visit (fail()); the last three are said while they last.
var failures = {
  fromDisk: { headline: 'This page has to come from a web server', detail: function() {
    return 'Browsers do not let a page opened from the disk read its own files. Run "python3 -m http.server" ' +
           'in its folder, then open http://localhost:8000/ instead.';
  } },
  noConnection: { headline: 'The demo could not load', detail: function(name) {
    return name + ' did not load: the connection failed. Check it and reload the page.';
  } },
  fileMissing: { headline: 'The demo could not load', detail: function(name, status) {
    return name + ' did not load: the server answered ' + status + '. ' +
           'Reload the page; if that does not help, the site is missing the file.';
  } },
  serverTrouble: { headline: 'The demo could not load', detail: function(name, status) {
    return name + ' did not load: the server answered ' + status + '. ' +
           'The server has a problem: reload the page, or try again later.';
  } },
  startFailed: { headline: 'The demo could not start', detail: function(reason) {
    return reason + ' Reload the page to try again.';
  } },
  cannotRun: { headline: 'Your browser cannot run this demo', detail: function(message) {
    return 'It could not start its program (' + message + ').';
  } },
  noWebGL: { headline: 'Your browser cannot draw this demo', detail: function(reason) {
    var why = reason ? ' (' + reason + ')' : window.WebGLRenderingContext ? ', and gave no reason' : ': it has none';
    return 'It could not start WebGL' + why + '. Turning on hardware acceleration in its settings, or another ' +
           'browser, may help.';
  } },
  stopped: { headline: 'The demo stopped', detail: function(what) {
    return 'Something went wrong inside it (' + what + '). Reload the page to try again.';
  } },
  stalled: { headline: 'The download has stalled', detail: function() {
    return 'Nothing has arrived for ' + stallSeconds + ' seconds. Check the connection: the page goes on by ' +
           'itself when the download does, or reload it.';
  } },
  soundStuck: { headline: 'The sound has not started', action: 'Play without sound', detail: function() {
    return 'Your browser may have no sound output, or keeps sound off for this page.';
  } },
  noSound: { headline: 'Playing without sound', detail: function(refused) {
    return 'Your browser gave this page no sound (' + refused + ').';
  } },
};

// The viewer's correction (ms): how much later than the page reckons the
// sound reaches them (a wireless headset adds a few hundred ms), so the
// picture waits that much more. "?latency=MS" sets it for the visit, else the
// browser's stored one holds; the - and + keys move it by latencyStep and
// store it, and the sign shows it for latencyShownSeconds.
var latencyStep = 5;
var latencyLimit = 2000;
var latencyShownSeconds = 2;
var latencyStore = 'brakvane.latency';
var clampLatency = function(ms) { return Math.max(-latencyLimit, Math.min(latencyLimit, Math.round(ms))); };
// The correction a text gives, or null where it gives none.
function latencyFrom(text) {
  var ms = text === null || text === '' ? NaN : Number(text);
  return isFinite(ms) ? clampLatency(ms) : null;
}
// Storage can be refused (a private window, a page from the disk).
function storedLatency() {
  try { return localStorage.getItem(latencyStore); } catch (e) { return null; }
}
function startingLatency() {
  var given = latencyFrom(query.get('latency'));
  if (given !== null) return given;
  return latencyFrom(storedLatency()) || 0;
}
var latencyNote = 0;
function showLatency() {
  clearTimeout(latencyNote);
  change({ latencyShown: true });
  latencyNote = setTimeout(function() { change({ latencyShown: false }); }, latencyShownSeconds * 1000);
}
function correctLatency(by) {
  var ms = clampLatency(state.latency + by);
  try { localStorage.setItem(latencyStore, String(ms)); } catch (e) {}
  change({ latency: ms });
  showLatency();
}

// The page's state: everything the sign is drawn from and the page decides
// by. Changed only through change(), which redraws the sign.
var state = {
  stage: 'loading',       // where the demo is: 'loading', 'waiting', 'playing' or 'over'
  progress: 0,            // downloading is its first half, decoding the track the second
  fixedMoment: query.has('t'),
  touch: !!(window.matchMedia && matchMedia('(pointer: coarse)').matches),
  programReady: false,    // the program's functions can be called
  programStarted: false,  // the program runs: nothing more to download
  failure: null,          // what ended the visit: { row, args } of failures
  stalled: false,         // the download has stood still for stallSeconds
  soundStuck: false,      // the sound has not started after the visitor's click
  audio: '',              // the audio context's state, once there is one
  silent: false,          // the visitor chose to go on without sound
  refused: '',            // why the browser gave the page no sound
  silentNoteShown: false, // the note that the page plays without sound has had its time
  webglReason: '',        // what the browser said when WebGL would not start
  latency: startingLatency(), // the viewer's correction, ms (see correctLatency)
  latencyShown: false,    // the correction is on the sign for a moment
};
Object.defineProperty(window, 'demoStage', { get: function() { return state.stage; } });

function change(changes) {
  for (var key in changes) state[key] = changes[key];
  drawSign(signView(state));
}

// What the sign shows in state: { text, detail, action, bar, failed }, or
// null when it is hidden.
function signView(state) {
  var loading = state.stage === 'loading' && !state.fixedMoment;
  var holding = (state.stage === 'loading' || state.stage === 'waiting') && !state.fixedMoment && !state.silent;
  var waiting = state.stage === 'waiting' && !state.silent && state.audio !== '' && state.audio !== 'running';
  var said = function(row, args, more) {
    var view = { text: row.headline, detail: row.detail.apply(null, args || []), action: row.action };
    for (var key in more || {}) view[key] = more[key];
    return view;
  };
  if (state.failure) return said(failures[state.failure.row], state.failure.args, { failed: true });
  if (state.stalled && loading) return said(failures.stalled);
  if (state.soundStuck && holding) return said(failures.soundStuck, [], { bar: loading, progress: state.progress });
  if (loading) return { text: 'loading ' + Math.floor(state.progress * 100) + '%', bar: true, progress: state.progress };
  if (waiting) return { text: state.touch ? 'tap to start' : 'click to start' };
  if (state.latencyShown)
    return { text: 'sound ' + (state.latency > 0 ? '+' : '') + state.latency + ' ms', detail: 'the - and + keys move it' };
  if (state.refused && state.stage === 'playing' && !state.silentNoteShown) return said(failures.noSound, [state.refused]);
  return null;
}

function drawSign(view) {
  sign.hidden = !view;
  if (!view) return;
  sign.classList.toggle('failed', !!view.failed);
  signText.textContent = view.text;
  bar.hidden = !view.bar;
  fill.style.width = Math.floor((view.progress || 0) * 100) + '%';
  // Hidden parts hold no text: the sign's text is what it shows.
  signDetail.hidden = !view.detail;
  signDetail.textContent = view.detail || '';
  signAction.hidden = !view.action;
  signAction.textContent = view.action || '';
}

// The sound: an audio context at the track's own rate, made just after the
// program's first frame (making one can take a while when the browser's audio
// is not up yet), so that a browser that lets sound start by itself has it
// running long before the track is decoded. The program hands it the decoded track
// (WebMusic.cpp), starts it and asks it what is heard when.
var sound = {
  context: null,    // the AudioContext, once made
  buffer: null,     // the decoded track, filled in by the program
  source: null,     // the track's source node while it plays
  startAt: -1,      // the context time the track's first frame is played at
  tried: false,     // a context was asked for (once only)
  get silent() { return state.silent; },
  // The context's offsets from the page's clock (context time minus page
  // time, s) from the latest output timestamps, the last stamp's time, and an
  // offset that looked like a step, waiting for the next stamp to confirm it.
  offsets: [],
  lastStamp: -1,
  stepTo: null,
  rateFrom: null,       // the stamp the rate of the context's clock is taken from
  offWindows: 0,        // windows in a row over which that rate was off
  untrueStamps: false,  // a stamp could not be true: the stamps are left alone
  // Chromium's, polled every 2 ms (watchStamps): the context time less the
  // page's at each new stamp, and the steps between stamps (s).
  polled: { offsets: [], steps: [] },

  open: function() {
    if (sound.tried) return sound.context;
    sound.tried = true;
    if (!window.AudioContext) {
      change({ refused: 'this browser has no Web Audio' });
      return null;
    }
    try {
      sound.context = new AudioContext({ sampleRate: 44100 });
    } catch (e) {
      // A browser that will not run at that rate converts the track itself.
      try {
        sound.context = new AudioContext();
      } catch (e2) {
        change({ refused: e2.name + ': ' + e2.message });
        return null;
      }
    }
    if (chromium) watchStamps(sound.context);
    sound.context.addEventListener('statechange', function() {
      var running = sound.context.state === 'running';
      change({ audio: sound.context.state, soundStuck: state.soundStuck && !running });
      if (running && state.programReady) Module['_brakvaneWake']();
    });
    change({ audio: sound.context.state });
    return sound.context;
  },
  // Starts the whole track `lead` seconds from now on the context's clock.
  play: function(lead) {
    var context = sound.context;
    var source = context.createBufferSource();
    source.buffer = sound.buffer;
    source.connect(context.destination);
    sound.startAt = context.currentTime + lead;
    source.start(sound.startAt);
    sound.source = source;
  },
  stop: function() {
    if (sound.source) sound.source.stop();
    sound.source = null;
  },
  // Seconds of the track heard at `when` (the page's clock, ms; now or a
  // moment ahead; negative before its first frame), with the viewer's correction.
  heardAt: function(when) {
    return heardMoment(sound.context, when) - sound.startAt - state.latency / 1000;
  },
};
// The context time (s) heard at `when` (the page's clock, ms): from the
// output timestamps where they can be trusted, else the rendered time less
// the output's latency (and, where the stamps proved untrue, less what
// WebKitGTK leaves out).
function heardMoment(context, when) {
  var offset = stampOffset(context);
  if (offset !== null) {
    noteReading(context.getOutputTimestamp().contextTime);
    var cycle = chromiumCycle();
    if (cycle) return when / 1000 + cycle.offset - cycle.latency;
    return when / 1000 + offset - unreportedLatency();
  }
  var reported = context.outputLatency || context.baseLatency || 0;
  if (sound.untrueStamps) return when / 1000 + renderedOffset(context) - reported - untrueStampsLatency;
  return context.currentTime + Math.max(0, when - performance.now()) / 1000 - reported;
}

// The context's clock less the page's (s) from its rendered time, smoothed
// as the stamps are: WebKitGTK renders in bursts, so currentTime read at
// each frame runs ahead by up to a burst, then stands.
function renderedOffset(context) {
  noteOffset(context.currentTime - performance.now() / 1000);
  return median(sound.offsets);
}

// What WebKitGTK's rendered time less its reported latency (outputLatency 0,
// baseLatency one render quantum) leaves out, which nothing it reports
// follows: measured at the sink, 62 to 67 ms on PulseAudio, 85 to 89 ms on
// PipeWire at 1024 frames, 109 to 117 ms at 2048. The middle of those, within
// 28 ms of each; the viewer's correction takes the rest.
var untrueStampsLatency = 0.090;

// The context's clock less the page's (s), the median of the latest output
// timestamps' offsets; null before the first stamp, and for good once the
// stamps have shown that they cannot be true (untrueStamp).
function stampOffset(context) {
  var stamp = context.getOutputTimestamp();
  if (sound.untrueStamps || !(stamp.performanceTime > 0)) return null;
  if (stamp.performanceTime !== sound.lastStamp) {
    sound.lastStamp = stamp.performanceTime;
    if (untrueStamp(stamp)) {
      sound.untrueStamps = true;
      sound.offsets = [];
      return null;
    }
    noteOffset(stamp.contextTime - stamp.performanceTime / 1000);
  }
  return median(sound.offsets);
}

// A stamp that cannot be true: its moment further ahead of now than any
// output holds (Chromium's stamps run ahead by its latency, 10 to 90 ms), or
// the last of stampOffWindows windows in a row of stampRateSeconds each over
// which the context's time ran at a rate off the page's clock by more than
// stampRateLimit. One such window is no proof: Firefox's stamps pair a
// currentTime left behind while the page's thread is held up with the time
// read (0.73 over one 2-s window, at load 20), and a stream falling behind
// steps once. WebKitGTK 2.50's performanceTime is about performance.now()
// plus the context time (159,267 ms read at 79,674 ms, with the context at
// 79.6 s): ahead by seconds, at a rate of one half, for good.
var stampAheadLimit = 0.5;
var stampRateLimit = 0.25;
var stampRateSeconds = 1;
var stampOffWindows = 3;
function untrueStamp(stamp) {
  if (stamp.performanceTime - performance.now() > stampAheadLimit * 1000) return true;
  var since = sound.rateFrom;
  var seconds = since ? (stamp.performanceTime - since.performanceTime) / 1000 : 0;
  if (since && seconds < stampRateSeconds) return false;
  sound.rateFrom = stamp;
  var off = since !== null && Math.abs((stamp.contextTime - since.contextTime) / seconds - 1) > stampRateLimit;
  sound.offWindows = off ? sound.offWindows + 1 : 0;
  return sound.offWindows >= stampOffWindows;
}

// The output timestamp pairs the context time being played out with the
// moment it was. Some browsers (Firefox) move that pair back and forth by up
// to 20 ms from one audio callback to the next, so the page keeps the offset
// between the two clocks from each new stamp and takes the median of the last
// few (the context's clock and the page's run at the same rate). An offset
// further than stampStep from the median is a real step (the output missed a
// beat) once the next stamp confirms it, and the history starts anew from the
// two; alone it is a stale stamp (read just after the page's thread was held
// up) and left out. Counted on to the moment asked about (the context's own
// currentTime is no bound: Firefox leaves it behind while the page's thread
// is held up).
var stampsKept = 11;  // about 0.2 s of Firefox's audio callbacks
var stampStep = 0.025;
function noteOffset(offset) {
  var offsets = sound.offsets;
  if (!offsets.length || Math.abs(offset - median(offsets)) <= stampStep) {
    sound.stepTo = null;
    offsets.push(offset);
  } else if (sound.stepTo !== null && Math.abs(offset - sound.stepTo) <= stampStep) {
    offsets.splice(0, offsets.length, sound.stepTo, offset);
    sound.stepTo = null;
  } else {
    sound.stepTo = offset;
  }
  if (offsets.length > stampsKept) offsets.shift();
}
function median(values) {
  var sorted = values.slice().sort(function(a, b) { return a - b; });
  return sorted[sorted.length >> 1];
}

// What Firefox's output timestamps leave out, in seconds: how much later than
// they say the sink plays. Firefox renders in blocks of 512 frames (11.6 ms at
// 44.1 kHz) and counts on a server that pulls them one at a time, as
// PulseAudio does, and as PipeWire does at 256 frames a cycle. At 1024 or
// 2048 frames it pulls a cycle's worth at once, and plays later than Firefox
// reckons. Its outputLatency does not show it (fixed within a visit, 9.5 to
// 55.6 ms, following nothing the sink did), but the stamps' context time
// moves in the server's steps (engineBlock). Against the sink on a quiet
// machine its stamps, which say that currentTime is heard the moment it is
// read, were late by +31 to +33 ms on PulseAudio, +33 at 256 frames, +49 to
// +50 at 1024, +82 at 2048: 33 ms, and 1.4 ms more for each ms the step
// exceeds its block. Chromium's stamps hold where its block is the step, and
// chromiumCycle takes the rest. docs/web-timing.md has the measurements.
var ownBlock = 512 / 44100;
var firefox = /\bFirefox\//.test(navigator.userAgent);
// Headless, Chromium names itself HeadlessChrome.
var chromium = !firefox && /Chrome\//.test(navigator.userAgent);
function unreportedLatency() {
  return firefox ? 0.033 + 1.4 * Math.max(0, engineBlock() - ownBlock) : 0;
}
// Chromium on a server that pulls more than its block a cycle (PipeWire at
// 1024 or 2048 frames) swings its stamps by 50 to 350 ms within a visit and
// its outputLatency by over 100 ms. What holds is its currentTime read as a
// new stamp comes: ahead of the sink by two of the stamps' steps and 20 ms
// (ms, per visit against the sink, quiet, Debian 12 and 13; the step in
// brackets: PulseAudio 39 to 45 (11.6), PipeWire at 1024 frames 65 to 68
// (23.0), at 2048 107 to 113 (45.3 to 45.6); docs/web-timing.md). Read once
// a frame, that step came out at 25 to 48 ms where it is 23, so the stamps are
// polled every 2 ms. Null where the stamps' step is Chromium's own block
// (PulseAudio, PipeWire at 256 frames): there its stamps hold.
var polledKept = 45;
function watchStamps(context) {
  var last = null;
  setInterval(function() {
    if (context.state !== 'running') return;
    var stamp = context.getOutputTimestamp();
    if (!(stamp.performanceTime > 0) || stamp.contextTime === last) return;
    if (last !== null && stamp.contextTime > last) keepLast(sound.polled.steps, stamp.contextTime - last);
    last = stamp.contextTime;
    keepLast(sound.polled.offsets, context.currentTime - performance.now() / 1000);
  }, 2);
}
function keepLast(values, value) {
  values.push(value);
  if (values.length > polledKept) values.shift();
}
function chromiumCycle() {
  var polled = sound.polled;
  if (!chromium || polled.steps.length < 8) return null;
  var step = median(polled.steps);
  if (step < ownBlock + 0.002) return null;
  return { offset: median(polled.offsets), latency: 2 * step + 0.020 };
}

// The step the stamps' context time moves in (s), from the last readings,
// each a frame or more apart ([page time (ms), context time (s)]). Where
// most readings see it move, blocks come no further apart than a frame, and
// the block is the longest step that every step seen is a whole number of
// (a frame of 33 ms sees two or three blocks of 11.6); where many see it
// stand, the blocks come further apart than a frame, and the time over the
// number of moves is their spacing.
var readingsKept = 32;
var readings = [];
function noteReading(contextTime) {
  var now = performance.now();
  if (!readings.length || now - readings[readings.length - 1][0] > 4) readings.push([now, contextTime]);
  if (readings.length > readingsKept) readings.shift();
}
function engineBlock() {
  var steps = [];
  for (var i = 1; i < readings.length; ++i) {
    var step = readings[i][1] - readings[i - 1][1];
    if (step > 0.002) steps.push(step);
  }
  if (!steps.length) return ownBlock;
  if (steps.length < 0.8 * (readings.length - 1))
    return (readings[readings.length - 1][0] - readings[0][0]) / 1000 / steps.length;
  var shortest = Math.min.apply(null, steps);
  var whole = function(block) {
    return steps.every(function(s) { return Math.abs(s - Math.round(s / block) * block) < 0.002; });
  };
  for (var k = 1; shortest / k > 0.75 * ownBlock; ++k)
    if (whole(shortest / k)) return shortest / k;
  return shortest;
}

drawSign(signView(state));

// The first failure is the one said: what follows from it would only hide it.
function fail(row) {
  if (state.failure) return;
  change({ failure: { row: row, args: Array.prototype.slice.call(arguments, 1) } });
}
function failFile(name, response) {
  if (!response) return fail('noConnection', name);
  var status = response.status + (response.statusText ? ' ' + response.statusText : '');
  fail(response.status === 404 || response.status === 410 ? 'fileMissing' : 'serverTrouble', name, status);
}
// Something went wrong while loading: the page's own files are asked for
// again (their headers only), and the first that does not come is named.
function findMissingFile(reason) {
  var files = ['index.js', 'index.wasm', 'index.data'];
  (function check(i) {
    if (i === files.length) return fail('startFailed', reason);
    fetch(files[i], { method: 'HEAD', cache: 'no-store' }).then(function(response) {
      if (response.ok) check(i + 1); else failFile(files[i], response);
    }, function() { failFile(files[i], null); });
  })(0);
}
if (fromDisk) fail('fromDisk');
window.addEventListener('error', function(event) {
  // A file the page links that did not come (the program's code).
  if (event.target !== window) {
    if (event.target && event.target.src) findMissingFile('Its code did not load.');
    return;
  }
  if (state.programStarted) return fail('stopped', event.message);
  // An error while loading is said on the page, not thrown at the console.
  event.preventDefault();
  findMissingFile(event.message + '.');
}, true);
// Newer toolchains fetch the data file with a promise and leave a failed
// answer unhandled instead of throwing: without this the page would only
// say that the download stalled.
window.addEventListener('unhandledrejection', function(event) {
  if (state.programStarted || state.failure) return;
  event.preventDefault();
  var reason = event.reason && event.reason.message ? event.reason.message : String(event.reason);
  findMissingFile(reason + '.');
});
canvas.addEventListener('webglcontextcreationerror', function(event) {
  change({ webglReason: event.statusMessage || '' });
});

// Progress, or any sign of life from the network, restarts the stall watch.
var lastActivity = performance.now();
function noteActivity() {
  lastActivity = performance.now();
  if (state.stalled) change({ stalled: false });
}
var stallWatch = setInterval(function() {
  if (state.programStarted || state.failure) {
    clearInterval(stallWatch);
    return;
  }
  if (!state.stalled && performance.now() - lastActivity > stallSeconds * 1000) change({ stalled: true });
}, 1000);

// The toolchain's fixed-function emulation announces itself on the error
// stream at every start; these two lines say nothing about the page.
var toolchainNotices = [
  'WARNING: using emscripten GL emulation. This is a collection of limited workarounds, do not expect it to work.',
  'WARNING: using emscripten GL immediate mode emulation. This is very limited in what it supports',
];
var downloaded = -1;
var Module = {
  canvas: canvas,
  arguments: pageArguments,
  print: function(text) { console.log(text); },
  printErr: function(text) {
    if (toolchainNotices.indexOf(text) < 0) console.error(text);
  },
  setStatus: function(text) {
    var counts = /\((\d+(?:\.\d+)?)\/(\d+)\)/.exec(text);
    if (counts && Number(counts[1]) > downloaded) {
      downloaded = Number(counts[1]);
      noteActivity();
    }
    if (counts && state.stage === 'loading')
      change({ progress: Math.max(state.progress, 0.5 * Number(counts[1]) / Number(counts[2])) });
  },
  // The program from the response asked for at the top. Streaming
  // compilation needs the server to call it application/wasm; under any
  // other type it is read whole first, which browsers take without a word.
  // A failed fetch or a body cut short is the connection's; an error from
  // compiling or starting the program is not, whatever its kind.
  instantiateWasm: function(imports, receive) {
    if (!programFile) return {};
    var lost = function() { failFile('index.wasm', null); };
    var started = function(result) {
      noteActivity();
      receive(result.instance, result.module);
    };
    programFile.then(function(response) {
      noteActivity();
      if (!response.ok) return failFile('index.wasm', response);
      var streaming = WebAssembly.instantiateStreaming &&
                      /^application\/wasm\b/.test(response.headers.get('Content-Type') || '');
      if (!streaming) return response.arrayBuffer().then(function(bytes) {
        return WebAssembly.instantiate(bytes, imports).then(started, function(error) { fail('cannotRun', error.message); });
      }, lost);
      // Streaming reads the body while it compiles: a TypeError there is the connection's.
      return WebAssembly.instantiateStreaming(response, imports).then(started, function(error) {
        if (error instanceof TypeError) lost(); else fail('cannotRun', error.message);
      });
    }, lost).catch(function(error) { fail('startFailed', error.name + ': ' + error.message + '.'); });
    return {};
  },
  onRuntimeInitialized: function() { change({ programReady: true }); },
  onAbort: function(what) {
    if (state.programStarted) fail('stopped', what);
    else findMissingFile(String(what) + '.');
  },
  brakvaneSound: sound,
  brakvaneStage: function(name, decoded) {
    var progress = name === 'loading' ? Math.max(state.progress, 0.5 + 0.5 * decoded) : state.progress;
    if (name === 'playing' && state.refused) setTimeout(function() { change({ silentNoteShown: true }); }, 8000);
    change({ programStarted: true, stage: name, progress: progress });
    if (name === 'playing' && state.latency && !state.silent) showLatency();
  },
  // The program cannot go on: what (only 'webgl' so far) it lacks.
  brakvaneFailed: function(what) {
    change({ programStarted: true });
    if (what === 'webgl') fail('noWebGL', state.webglReason);
  },
};

// Asks for the sound to start, and says so if it has not within a few seconds.
var soundWatch = 0;
function startSound() {
  var context = state.fixedMoment || state.silent ? null : sound.open();
  if (!context || context.state === 'running') return;
  context.resume().catch(function() { change({ soundStuck: true }); });
  clearTimeout(soundWatch);
  soundWatch = setTimeout(function() {
    if (context.state !== 'running' && !state.silent) change({ soundStuck: true });
  }, soundPatienceSeconds * 1000);
}
// The picture then runs on the page's clock, from the start.
function playSilently() {
  change({ silent: true, soundStuck: false });
  if (state.programReady) Module['_brakvaneWake']();
}
function onClick() {
  startSound();
  if (!document.fullscreenElement && stage.requestFullscreen) stage.requestFullscreen().catch(function() {});
}
stage.addEventListener('click', onClick);
signAction.addEventListener('click', playSilently);
// A tap counts as soon as the finger lifts, whether or not a click follows.
document.addEventListener('touchend', startSound);
// Browsers leave full screen on Escape themselves; this covers those that pass the key to the page.
document.addEventListener('keydown', function(e) {
  if (e.key === 'Escape' && document.fullscreenElement) document.exitFullscreen().catch(function() {});
  if (e.ctrlKey || e.metaKey || e.altKey || state.fixedMoment) return;
  // + shares its key with = on most layouts, and _ with -.
  if (e.key === '+' || e.key === '=') correctLatency(latencyStep);
  if (e.key === '-' || e.key === '_') correctLatency(-latencyStep);
});

// The audio context is made once the program's first frame is drawn: making
// one holds the page's thread while the browser starts its audio (in Chromium
// 0.3 to 1.8 s on this loaded machine, muted or not), which would hold that
// frame back.
if (!state.fixedMoment) requestAnimationFrame(function afterFirstFrame() {
  if (Module['brakvaneFrames'] > 0) setTimeout(sound.open, 0);
  else requestAnimationFrame(afterFirstFrame);
});
