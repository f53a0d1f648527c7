// The picture in step with what the speaker plays, however a visit starts:
// the browser letting sound start by itself, a click, a tap, the tab hidden
// and shown again, the main thread blocked for 300 ms; in each browser
// engine, playing to a private sound server whose null sink's monitor is
// recorded (brakvane-sink-recorder, from the native build), which says when
// the sink played each frame's moment of the track. The server is the
// PulseAudio scripts/web-test.sh starts, or PipeWire as most desktops now run
// it, started here for its rows with its graph held at 1024 frames a cycle
// (its default) and at 2048 (as when another client pulls it there), where
// what the engines report about their output is furthest from the truth.
//
// Every frame shows the music heard at the middle of its time on screen: it
// is presented at the composite after its animation frame, one display
// interval after that frame began, and stays up until the next frame is, a
// step later. Its error is when the sink played its moment t less that
// middle, both on CLOCK_MONOTONIC (the page's times placed there by
// performance.timeOrigin). At a crash cut, the first frame showing the new
// scene shows t from its present P, so it puts the crash at P + step/2 -
// (t - cut): its error is the same figure, with the frame's own step past
// the cut taken out.
// A visit is judged by its frames' median error (within 3 ms), the crash
// cuts it reaches (each within half a frame, the first frame showing it
// within 17 ms of the crash) and a picture that never runs back. The in-page tap stays
// for what the sink cannot tell: whether the page sent the track straight,
// sample for sample (a gap at the sink may be the engine under load).
// Visits on the two ways sound starts by itself or on a click also leave a
// quiet console: the program's lines and no error, warning or failed
// request. A visit whose page stalls (it never loads, or its show never
// goes on) is tried once more, then reported with what the page showed;
// one that misses is tried up to three times before its misses count, since
// a shared machine starves the page and the sound now and then.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const os = require('os');
const path = require('path');
const fs = require('fs');
const { spawn, spawnSync } = require('child_process');
const { engines, unavailable, open, watchConsole, tapAudio, untilQuietly, showGoesOn, stalled, onceMoreIfStalled } =
  require('./browser.js');

const root = path.join(__dirname, '..', '..');
const recorderProgram = process.env.BRAKVANE_SINK_RECORDER ||
                        path.join(root, 'build', 'tests', 'support', 'brakvane-sink-recorder');
const trackFile = path.join(root, 'data', 'music', 'skalmtone.mp3');
// The moments of the timeline whose picture change comes with a crash in the music.
const crashCuts = [10.2, 40.1, 54.8, 58.2, 62.2, 65.8, 68.5];
// Each visit is watched until the show is past the first crash cut; one
// way of starting, through every crash cut.
const watchedUntil = 10.7;
const wholeShow = 68.7;
// How far an engine's page may be off the sink beyond the bounds below, for
// what it cannot know: WebKit reports nothing that follows its output's
// latency, which differs by 55 ms between the servers measured (page.js).
const unknownLatency = { chromium: 0, firefox: 0, webkit: 0.028 };
const programLines = ['Kalvor Brakvane 0.1', 'Loading Music: data/music/skalmtone.mp3',
                      'Loading texture: data/textures/danish.png', 'Loading texture: data/textures/text.png'];

// CLOCK_MONOTONIC seconds less the epoch's, from this process's own clocks
// (Node's high-resolution time is CLOCK_MONOTONIC).
const monotonicLessEpoch = Number(process.hrtime.bigint()) / 1e9 - (performance.timeOrigin + performance.now()) / 1000;

// The sound servers the visits play to. The PulseAudio one reports when its
// monitor's blocks were played truly; PipeWire's PulseAudio server does not
// always, and there a block's arrival is the moment (MonitorRecorder.h).
const servers = [
  { name: 'PulseAudio', timing: 'latency' },
  { name: 'PipeWire at 1024 frames a cycle', quantum: 1024, timing: 'arrival' },
  { name: 'PipeWire at 2048 frames a cycle', quantum: 2048, timing: 'arrival' },
];
const pipewireScript = path.join(root, 'tests', 'testbeds', 'pipewire.sh');
const pipewirePrograms = ['pipewire', 'wireplumber', 'pipewire-pulse', 'dbus-daemon', 'pactl'];

// Why the server cannot be started here, or false when it can.
function serverMissing(server) {
  if (!server.quantum)
    return !process.env.PULSE_SERVER && 'needs the sound server in PULSE_SERVER (scripts/web-test.sh starts one)';
  const missing = pipewirePrograms.filter((p) => spawnSync('sh', ['-c', `command -v ${p}`]).status !== 0);
  return missing.length > 0 && `${missing.join(', ')} not installed (scripts/setup.sh installs them)`;
}

// Starts a private PipeWire session (tests/testbeds/pipewire.sh) at 44.1 kHz
// with its graph held at `quantum` frames whatever its clients ask; resolves
// once its null sink is the default, to its PULSE_SERVER address and stop().
async function startPipeWire(quantum) {
  const directory = fs.mkdtempSync(path.join(os.tmpdir(), 'brakvane-web-pipewire-'));
  const child = spawn('bash', [pipewireScript, directory, String(quantum), '44100', 'forced'], { stdio: 'ignore' });
  const ended = new Promise((resolve) => child.on('exit', resolve));
  const address = `unix:${directory}/pulse/native`;
  const stop = async () => {
    child.kill('SIGTERM');
    await ended;
    fs.rmSync(directory, { recursive: true, force: true });
  };
  for (let i = 0; i < 300 && child.exitCode === null; ++i) {
    const info = spawnSync('pactl', ['info'], { env: Object.assign({}, process.env, { PULSE_SERVER: address }) });
    if (String(info.stdout).includes('Default Sink: brakvane')) return { address, stop };
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  const log = ['pipewire.log', 'wireplumber.log', 'pipewire-pulse.log']
    .map((f) => { try { return f + ': ' + fs.readFileSync(path.join(directory, f), 'utf8').trim().split('\n').slice(-3).join(' | '); } catch (e) { return ''; } })
    .join('; ');
  await stop();
  throw new Error(`PipeWire did not start its null sink in 15 s (${log})`);
}

// Records the sink's monitor on the server at `address`; played(moments) then
// ends the recording and says when the sink played each moment of the track
// (CLOCK_MONOTONIC seconds, NaN where the recording does not hold it).
function recordSink(address, timing) {
  const child = spawn(recorderProgram, [address, 'brakvane.monitor', trackFile].concat(timing === 'arrival' ? ['arrival'] : []));
  let out = '', err = '';
  child.stderr.on('data', (d) => (err += d));
  const exited = new Promise((resolve) => child.on('exit', resolve));
  const ready = new Promise((resolve, reject) => {
    child.stdout.on('data', (d) => {
      out += d;
      if (out.startsWith('recording\n')) resolve();
    });
    exited.then((code) => reject(new Error(`the sink recorder ended (${code}): ${err}`)));
  });
  return {
    ready,
    async played(moments) {
      child.stdin.end(moments.map((m) => m.toFixed(6)).join('\n') + '\n');
      await exited;
      return out.split('\n').filter((line) => line.startsWith('played ')).map((line) => Number(line.split(' ')[2]));
    },
    stop: () => child.kill(),
  };
}

// Put in the page: what the engine reports about its output, read every 2 ms
// while the context runs, one entry per new output timestamp: [contextTime,
// performanceTime, currentTime, performance.now(), outputLatency, baseLatency];
// and the frames the program had drawn when the context was made.
function watchOutput() {
  const reports = (window.brakvaneOutput = []);
  const Made = window.AudioContext;
  window.AudioContext = function(options) {
    window.brakvaneFramesBeforeContext = (window.Module && Module.brakvaneFrames) || 0;
    return new Made(options);
  };
  window.AudioContext.prototype = Made.prototype;
  setInterval(() => {
    const context = window.brakvaneTap && brakvaneTap.context;
    if (!context || context.state !== 'running') return;
    const stamp = context.getOutputTimestamp();
    const last = reports[reports.length - 1];
    if (stamp.performanceTime > 0 && (!last || last[1] !== stamp.performanceTime))
      reports.push([stamp.contextTime, stamp.performanceTime, context.currentTime, performance.now(),
                    context.outputLatency || 0, context.baseLatency || 0]);
  }, 2);
}

const middle = (values) => values.slice().sort((a, b) => a - b)[values.length >> 1];

// What the engine reported, against the truth: when the sink played the
// moments `moments` (CLOCK_MONOTONIC seconds, `times`) less when the output
// timestamps said (each from the median offset of the stamps within half a
// second of it), the track started at context time startAt; and the reported
// figures, in ms: the step between stamps (the engine's audio callback),
// currentTime ahead of the moment the stamps say is heard, outputLatency
// and baseLatency.
function reportedAgainstSink(reports, startAt, moments, times, monotonic) {
  const late = [];
  let from = 0;
  moments.forEach((t, i) => {
    const context = t + startAt;
    while (from < reports.length && reports[from][0] < context - 0.5) ++from;
    const near = [];
    for (let k = from; k < reports.length && reports[k][0] < context + 0.5; ++k) near.push(reports[k][0] - reports[k][1] / 1000);
    if (near.length && !Number.isNaN(times[i])) late.push(times[i] - monotonic((context - middle(near)) * 1000));
  });
  const steps = reports.slice(1).map((r, i) => r[0] - reports[i][0]).filter((d) => d > 0);
  const ahead = reports.map(([context, stamp, current, now]) => current - context - (now - stamp) / 1000);
  const sorted = late.slice().sort((a, b) => a - b);
  const ms = (values) => values.length ? 1000 * middle(values) : NaN;
  return {
    late: ms(late), lateRange: [1000 * sorted[0], 1000 * sorted[sorted.length - 1]], step: ms(steps), ahead: ms(ahead),
    outputLatency: ms(reports.map((r) => r[4])), outputLatencyRange: [Math.min(...reports.map((r) => r[4] * 1000)), Math.max(...reports.map((r) => r[4] * 1000))],
    baseLatency: ms(reports.map((r) => r[5])),
  };
}

// The frames (t; frameStart and the display's interval, ms of the page's
// clock) against when the sink played each moment (played(moments), as
// recordSink's), the page's clock starting at `origin` (epoch ms), and what
// the engine reported (watchOutput's, with the track's start). Errors in
// seconds; interval: the median step between frames, ms.
async function judge(frames, origin, played, output) {
  const starts = frames.map((f) => f.frameStart);
  const intervals = starts.slice(1).map((s, i) => s - starts[i]).filter((d) => d > 2 && d < 100).sort((a, b) => a - b);
  const interval = intervals[intervals.length >> 1];
  const monotonic = (pageMs) => (origin + pageMs) / 1000 + monotonicLessEpoch;
  const shown = frames.map((f, i) => Object.assign({ next: frames[i + 1] }, f)).filter((f) => f.t > 0);
  const cuts = crashCuts.filter((cut) => shown.length && shown[shown.length - 1].t >= cut);
  const times = await played(shown.map((f) => f.t).concat(cuts));
  const errors = [];
  let backwards = 0;
  shown.forEach((f, i) => {
    if (i > 0 && f.t < shown[i - 1].t) ++backwards;
    // On screen until the next frame is presented; after a stall, for one interval.
    const step = f.next && f.next.frameStart - f.frameStart < 100 ? f.next.frameStart - f.frameStart : f.display;
    const present = monotonic(f.frameStart + f.display);
    if (!Number.isNaN(times[i])) errors.push({ t: f.t, error: times[i] - (present + step / 2000), present });
  });
  const sorted = errors.map((e) => e.error).sort((a, b) => a - b);
  const atCuts = cuts.map((cut, k) => {
    const first = errors.find((e) => e.t >= cut);
    const crash = times[shown.length + k];
    return first && { cut, error: first.error, shownAfter: first.present - crash };
  }).filter((c) => c && !Number.isNaN(c.shownAfter));
  const reported = reportedAgainstSink(output.reports, output.startAt, shown.map((f) => f.t), times, monotonic);
  return { interval, median: sorted[sorted.length >> 1], judged: errors.length, frames: shown.length, backwards, atCuts,
           withinFrame: sorted.filter((e) => Math.abs(e) * 1000 <= interval).length, reported };
}

// Runs in the page: where the tapped output places the track on the
// context's clock, window by window; all alike when it was sent straight.
function placeTrack() {
  const tap = window.brakvaneTap;
  const track = Module.brakvaneSound.buffer.getChannelData(0);
  const windowBlocks = 16;
  const same = (a, b) => Math.abs(a - b) < 1e-6;
  // Track frames whose run of samples equals the window's; at most two are
  // looked for. Null for a run that starts in silence, which places nothing.
  function find(run, hint) {
    if (Math.abs(run[0]) < 1e-3) return null;
    const matches = (k) => {
      if (k < 0 || k + run.length > track.length) return false;
      for (let i = 0; i < run.length; ++i)
        if (!same(track[k + i], run[i])) return false;
      return true;
    };
    if (hint !== null && matches(hint)) return [hint];
    const found = [];
    for (let k = 0; k < track.length && found.length < 2; ++k)
      if (same(track[k], run[0]) && matches(k)) found.push(k);
    return found;
  }
  // Windows of 16 blocks every quarter of a second of the tapped sound.
  const offsets = [];
  let unmatched = 0;
  for (let b = 0; b + windowBlocks <= tap.blocks.length; b += 86) {
    const start = tap.blocks[b][0];
    if (tap.blocks[b + windowBlocks - 1][0] !== start + (windowBlocks - 1) * 128) continue;
    const run = new Float32Array(windowBlocks * 128);
    for (let i = 0; i < windowBlocks; ++i) run.set(tap.blocks[b + i][1], i * 128);
    const previous = offsets.length ? offsets[offsets.length - 1] : null;
    const found = find(run, previous === null ? null : start - previous);
    if (found === null) continue;
    if (found.length !== 1) ++unmatched;
    else offsets.push(start - found[0]); // the context frame at which track frame 0 played
  }
  return { offsets, unmatched };
}

const shown = (page) => page.evaluate(() => Module.brakvaneTime || 0);

// The sign asks for a click or a tap, and the page waits for it without
// drawing: the frame count stands over ten animation frames. Watched
// quietly, since anything counting as a gesture would start the sound.
async function signSays(page, text) {
  await untilQuietly(page, `(() => {
    const sign = document.getElementById('sign');
    return !sign.hidden && sign.textContent.trim() === ${JSON.stringify(text)};
  })()`);
  const { stood, t } = await untilQuietly(page, `new Promise((resolve) => {
    const before = Module.brakvaneFrames;
    let left = 10;
    const tick = () => (--left ? requestAnimationFrame(tick)
                               : resolve({ stood: Module.brakvaneFrames === before, t: Module.brakvaneTime }));
    requestAnimationFrame(tick);
  })`);
  assert.ok(stood, 'the page redraws while it waits');
  assert.strictEqual(t, 0, 'the timeline ran without the music');
}

async function tapSign(page) {
  const box = await (await page.$('#sign')).boundingBox();
  await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
}

const paths = [
  { name: 'the browser lets sound start by itself', autoplay: 'allowed', quiet: true, until: wholeShow },
  {
    name: 'a click starts it',
    autoplay: 'gesture',
    quiet: true,
    start: async (page) => {
      await signSays(page, 'click to start');
      await page.click('#sign');
    },
  },
  {
    name: 'a tap starts it',
    autoplay: 'gesture',
    touch: true,
    cannot: { firefox: 'Firefox over WebDriver BiDi does not emulate a touch screen: the page sees a mouse, and asks for a click',
              webkit: 'WebKitWebDriver does not emulate a touch screen' },
    start: async (page) => {
      await signSays(page, 'tap to start');
      await tapSign(page);
    },
  },
  {
    name: 'the tab is hidden and shown again',
    autoplay: 'allowed',
    cannot: { webkit: 'MiniBrowser under WebDriver shows one page at a time here: there is no tab to hide it behind' },
    during: async (session, page) => {
      const other = await session.browser.newPage();
      await other.bringToFront();
      await waitFor(page, () => document.visibilityState === 'hidden');
      const heard = await page.evaluate(() => brakvaneTap.context.currentTime);
      await waitFor(page, (then) => brakvaneTap.context.currentTime > then + 1, heard);
      await page.bringToFront();
      await waitFor(page, () => document.visibilityState === 'visible');
      await other.close();
    },
  },
  {
    name: 'the main thread is blocked for 300 ms',
    autoplay: 'allowed',
    during: async (session, page) => page.evaluate(() => {
      const end = performance.now() + 300;
      while (performance.now() < end) {
      }
    }),
  },
];


const waitFor = (page, fn, arg) => page.waitForFunction(fn, { polling: 50, timeout: 60000 }, arg);

// One visit by the path, playing to the server at `address`, judged against the sink.
async function visit(engine, path, server, address) {
  const recorder = recordSink(address, server.timing);
  let session = null;
  try {
    await recorder.ready;
    // The browser's sound goes where PULSE_SERVER says when it starts.
    process.env.PULSE_SERVER = address;
    session = await open({ engine, autoplay: path.autoplay });
    const page = await session.browser.newPage();
    const watched = watchConsole(page);
    if (path.touch) await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 1, isMobile: true, hasTouch: true });
    else await page.setViewport({ width: 800, height: 600, deviceScaleFactor: 1 });
    await page.evaluateOnNewDocument(tapAudio);
    await page.evaluateOnNewDocument(watchOutput);
    try {
      await page.goto(session.address, { timeout: 60000 });
      if (path.start) await path.start(page);
    } catch (error) {
      throw await stalled(page, 'the page load', error);
    }
    await showGoesOn(page, 'the show', () => Module.brakvaneTime > 1.5);
    if (path.during) {
      await path.during(session, page);
      const t = await page.evaluate(() => Module.brakvaneTime);
      await showGoesOn(page, `the show after ${path.name}`, (then) => Module.brakvaneTime > then + 1.5, t);
    }
    const until = path.until || watchedUntil;
    await showGoesOn(page, 'the show', (then) => Module.brakvaneTime > then, until, 60000 + 1500 * until);
    const seen = await page.evaluate(() => ({
      log: brakvaneFrameLog, origin: performance.timeOrigin, firstFrame: brakvaneFrameLog[0][0],
      framesBeforeContext: window.brakvaneFramesBeforeContext, untrue: !!Module.brakvaneSound.untrueStamps,
      output: { reports: brakvaneOutput, startAt: Module.brakvaneSound.startAt },
    }));
    const tapped = await page.evaluate(placeTrack);
    await session.close();
    session = null;
    const frames = seen.log.map(([, t, , frameStart, display]) => ({ t, frameStart, display }));
    const judged = await judge(frames, seen.origin, recorder.played, seen.output);
    return Object.assign(judged, { tapped, console: watched, firstFrame: seen.firstFrame,
                                   framesBeforeContext: seen.framesBeforeContext, untrue: seen.untrue });
  } finally {
    recorder.stop();
    if (session) await session.close();
  }
}

const ms = (seconds) => (seconds * 1000).toFixed(1);
const fixed = (value) => value.toFixed(1);

// Every way of starting on PulseAudio; on PipeWire, the sound starting by
// itself, watched to the first crash cut: the ways of starting do not depend
// on the server, and the engines' latency shows in every frame.
const rows = servers.flatMap((server) => engines.flatMap((engine) =>
  (server.quantum ? [Object.assign({}, paths[0], { until: watchedUntil })] : paths).map((path) => ({ server, engine, path }))));

for (const { server, engine, path } of rows) {
  const skip = unavailable(engine) || (path.cannot && path.cannot[engine]) || serverMissing(server) || false;
  const on = server.quantum ? ` on ${server.name}` : '';
  test(`in ${engine}${on}, in step with the sink when ${path.name}`, { skip }, async () => {
    const pulseServer = process.env.PULSE_SERVER;
    const started = server.quantum ? await startPipeWire(server.quantum) : null;
    const address = started ? started.address : pulseServer;
    try {
      let problems = ['not run'];
      for (let attempt = 1; attempt <= 3 && problems.length; ++attempt) {
        const label = `${engine}${on}, ${path.name}, attempt ${attempt}`;
        const result = await onceMoreIfStalled(label, () => visit(engine, path, server, address));
        problems = [];
        const r = result.reported;
        console.log(`${label}: median ${ms(result.median)} ms over ${result.judged} of ${result.frames} frames of ` +
                    `${result.interval.toFixed(1)} ms, ${result.withinFrame} within a frame; cuts ` +
                    result.atCuts.map((c) => `${c.cut}: ${ms(c.error)} ms (shown ${ms(c.shownAfter)} ms after the crash)`).join(', ') +
                    `; first frame ${result.firstFrame.toFixed(0)} ms after navigation; the sink played ${fixed(r.late)} ms ` +
                    `(${r.lateRange.map(fixed).join(' to ')}) after the output timestamps said` +
                    `${result.untrue ? ', which the page left alone as untrue' : ''}; stamps every ${fixed(r.step)} ms, ` +
                    `currentTime ${fixed(r.ahead)} ms ahead of them, outputLatency ${fixed(r.outputLatency)} ms ` +
                    `(${r.outputLatencyRange.map(fixed).join(' to ')}), baseLatency ${fixed(r.baseLatency)} ms; ` +
                    `load ${os.loadavg()[0].toFixed(2)}`);
        // What no load explains fails at once.
        const { offsets, unmatched } = result.tapped;
        assert.ok(offsets.length >= 8, 'too little of the track was sent: ' + JSON.stringify(offsets));
        assert.strictEqual(unmatched, 0, 'some of the sound sent is not the track played straight');
        assert.ok(offsets.every((o) => o === offsets[0]), 'the page did not send the track straight: ' + JSON.stringify(offsets));
        assert.strictEqual(result.backwards, 0, 't went backwards');
        // Making the context holds the page's thread: it must not hold the first frame back.
        assert.ok(result.framesBeforeContext >= 1, 'the audio context was made before the first frame was drawn');
        if (path.quiet) {
          for (const line of programLines)
            assert.ok(result.console.lines.includes(line), 'missing console line: ' + line + '\n' + result.console.lines.join('\n'));
          assert.deepStrictEqual(result.console.problems, []);
        }
        const unknown = unknownLatency[engine];
        const beyond = unknown ? ` and the ${ms(unknown)} ms ${engine} cannot know` : '';
        if (result.judged < result.frames / 2)
          problems.push(`the sink played only ${result.judged} of ${result.frames} frames' moments`);
        else if (Math.abs(result.median) > 0.003 + unknown)
          problems.push(`the picture was a median ${ms(result.median)} ms off the sink, more than 3 ms${beyond}`);
        if (!result.atCuts.length) problems.push('no crash cut was found at the sink');
        for (const c of result.atCuts) {
          if (Math.abs(c.error) > result.interval / 2000 + unknown)
            problems.push(`at the cut at ${c.cut} s the picture was ${ms(c.error)} ms off the sink, more than half a frame${beyond}`);
          if (Math.abs(c.shownAfter) > 0.017 + unknown)
            problems.push(`the cut at ${c.cut} s was first shown ${ms(c.shownAfter)} ms from its crash, more than 17 ms${beyond}`);
        }
        for (const p of problems) console.log(`${label}: ${p}`);
      }
      assert.deepStrictEqual(problems, []);
    } finally {
      process.env.PULSE_SERVER = pulseServer;
      if (started) await started.stop();
    }
  });
}
