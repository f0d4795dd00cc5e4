// The web page in headless Chromium: node page_test.mjs BUILD_WEB_DIR COMPOSE_SONG XMRENDER.
// Served: the show starts on a click with scene 1 on the canvas; the sound worklet's output,
// captured in the page, is sample for sample xmrender's render of the same song for 10 s, though
// the page's thread is blocked for 1 s in scene 1; the song position the page answers is the one
// heard, also after the block; a 250 ms press of Escape ends scene 1 only; holding Escape ends
// the show and its sound at once, and a click starts both again, the same sound. From file://, the single page starts on a click and shows
// scene 1 and asks for no other file; index.html from disk names novaline.html, and without
// AudioWorklet the page says it cannot play. No console error while the show plays. Exits 77
// (skipped) without Chromium; a folder without a page fails, since a page test skipped
// unseen would pass a page never tested.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { openChromium, servePage } from './chromium_session.mjs';

const [folder, composeSong, xmrender] = process.argv.slice(2);
if (!existsSync('/usr/bin/chromium')) {
  console.log('skipped: needs /usr/bin/chromium');
  process.exit(77);
}
if (!existsSync(join(folder, 'novaline.wasm'))) {
  console.log(`no page in ${folder}: ./build.sh web builds it`);
  process.exit(1);
}

const kRate = 44100;
const kCompared = 10 * kRate;
// The engine's device first plays its silent ring (10 blocks of 884 frames) and the song's sound
// starts with the first block mixed after it: xmrender's frame 0 is the worklet's frame 8840.
const kSongStartFrame = 8840;
const kFrameMs = 1000 / 70;

// The reference: the embedded song as the composer writes it, rendered by xmrender, with its
// trace telling which position each tick plays.
const scratch = mkdtempSync(join(tmpdir(), 'novaline-page-'));
const quiet = { stdio: ['ignore', 'pipe', 'pipe'] };
execFileSync(composeSong, [join(scratch, 'song.xm')], quiet);
execFileSync(xmrender, ['--seconds', '11', '--trace', join(scratch, 'trace.csv'),
                        '-o', join(scratch, 'song.wav'), join(scratch, 'song.xm')], quiet);
const wav = readFileSync(join(scratch, 'song.wav'));
const reference = new Int16Array(wav.buffer.slice(wav.byteOffset + 44, wav.byteOffset + wav.length));
const { bpm } = JSON.parse(execFileSync(xmrender, ['--info', join(scratch, 'song.xm')], quiet));
const tickFrames = Math.floor(5 * kRate / (2 * bpm));
const tickPositions = readFileSync(join(scratch, 'trace.csv'), 'utf8').trim().split('\n').slice(1)
  .map(line => line.split(',').map(Number)).filter(f => f[4] === 0).map(f => f[1] << 8 | f[2]);
rmSync(scratch, { recursive: true, force: true });
if (tickPositions.length !== Math.ceil(11 * kRate / tickFrames)) {
  throw new Error('the song changes its tempo in its first seconds: the tick table does not hold');
}
// The position heard at song frame f, as the render plays it; 0 before the song.
const positionAt = f => f < 0 ? 0 : tickPositions[Math.floor(f / tickFrames)];

// In the page: a second worklet node behind every sound node keeps what it receives as 16-bit
// values, with the context frame of its first quantum; the sound node's first message gives the
// context frame of the sound's frame 0.
const captureSetup = `(() => {
  const source = \`class Capture extends AudioWorkletProcessor {
    constructor() {
      super();
      this.samples = new Int16Array(2 * ${kRate} * 15);
      this.count = 0;
      this.first = -1;
      this.port.onmessage = () => this.port.postMessage({
        first: this.first, samples: this.samples.slice(0, 2 * this.count) });
    }
    process(inputs) {
      if (this.first < 0) this.first = currentFrame;
      // Kept where the context's clock says, not where the count of calls would: a quantum the
      // browser does not hand this node (with its input silent, say) stays silence in its place
      // instead of moving all that follows it earlier.
      const at = currentFrame - this.first;
      const end = Math.min(at + 128, this.samples.length / 2);
      const input = inputs[0];
      for (let f = at; f < end; ++f) {
        for (let c = 0; c < 2; ++c) {
          this.samples[2 * f + c] = input[c] ? Math.round(input[c][f - at] * 32768) : 0;
        }
      }
      this.count = Math.max(this.count, end);
      return true;
    }
  }
  registerProcessor("capture", Capture);\`;
  const sound = Module.novalineSound;
  const url = URL.createObjectURL(new Blob([source], { type: "text/javascript" }));
  const wake = sound.wake.bind(sound);
  sound.wake = () => wake().then(() => sound.context.audioWorklet.addModule(url));
  const open = sound.open.bind(sound);
  window.captures = [];
  sound.open = rate => {
    // Made first, so that it is running by the time the sound's engine is.
    const capture = new AudioWorkletNode(sound.context, "capture", { outputChannelCount: [2] });
    const opened = open(rate);
    if (opened) {
      sound.node.connect(capture);
      capture.connect(sound.context.destination);
      const n = window.captures.push(capture) - 1;
      const handle = sound.node.port.onmessage;
      sound.node.port.onmessage = event => {
        if (event.data.origin !== undefined) window.origins[n] = event.data.origin;
        handle(event);
      };
    }
    return opened;
  };
  // What capture n holds from the sound's frame \`start\` on, as base64 of its 16-bit values;
  // \`start\` is above 0 when the capture began after the sound.
  window.captured = n => new Promise(resolve => {
    const capture = window.captures[n];
    capture.port.onmessage = event => {
      const { first, samples } = event.data;
      const start = Math.max(0, first - window.origins[n]);
      const skip = 2 * (start + window.origins[n] - first);
      const bytes = new Uint8Array(samples.buffer, 2 * skip);
      let text = "";
      for (let i = 0; i < bytes.length; i += 32768) {
        text += String.fromCharCode.apply(null, bytes.subarray(i, i + 32768));
      }
      resolve({ start, samples: btoa(text) });
    };
    capture.port.postMessage("get");
  });
  window.origins = [];
})()`;

// The position the page answers and the one heard, at one moment of the page.
const positionProbe = `(() => {
  const sound = Module.novalineSound;
  const heard = Module._NovalineSongPosition();
  const frame = Math.round(sound.context.currentTime * 44100) - sound.origin
                - Math.floor(sound.latencySeconds() * 44100);
  return { heard, frame, scene: Module._NovalineCurrentScene() };
})()`;

const failures = [];
const expect = (ok, what) => { if (!ok) failures.push(what); };
const sleep = ms => new Promise(r => setTimeout(r, ms));

// Where the capture first differs from the render, or ''.
function firstDifference({ start, samples }, frames) {
  const bytes = Buffer.from(samples, 'base64');
  const got = new Int16Array(bytes.buffer, bytes.byteOffset, bytes.length >> 1);
  if (start > kSongStartFrame) return `the capture began after the song, at frame ${start}`;
  const offset = 2 * (kSongStartFrame - start);
  if (got.length < offset + 2 * frames) return `only ${(got.length - offset) >> 1} frames`;
  for (let i = 0; i < offset; ++i) {
    if (got[i] !== 0) return `sound before the song at frame ${start + (i >> 1)}`;
  }
  for (let i = 0; i < 2 * frames; ++i) {
    if (got[offset + i] !== reference[i]) {
      return `frame ${i >> 1}: ${got[offset + i]} where the render has ${reference[i]}`;
    }
  }
  return '';
}

// The page's answers against the heard sound: the largest distance, in frames, between the frame
// heard and the nearest frame at which the render plays the position answered.
function syncError(probes) {
  let worst = 0;
  for (const { heard, frame } of probes) {
    const song = frame - kSongStartFrame;
    let error = Infinity;
    for (let d = 0; d < 4 * kRate && error === Infinity; d += 16) {
      if (positionAt(song - d) === heard || positionAt(song + d) === heard) error = d;
    }
    worst = Math.max(worst, error);
  }
  return worst;
}

const lit = `(() => {
  const c = document.getElementById('screen');
  const p = c.getContext('2d').getImageData(0, 2, 320, 196).data;
  let n = 0;
  for (let i = 0; i < p.length; i += 4) if (p[i] + p[i + 1] + p[i + 2] > 0) ++n;
  return n / (p.length / 4);
})()`;

const { url, server } = await servePage(folder);
let browser;
try {
  browser = await openChromium();
  await browser.send('Page.navigate', { url });
  expect(await browser.waitFor('document.body.dataset.show === "title"', 20), 'the title shows');
  await browser.evaluate(captureSetup);
  await browser.click(400, 300);
  expect(await browser.waitFor('document.body.dataset.show === "running"', 5), 'the show starts');
  expect(await browser.waitFor('window.origins[0] !== undefined', 5), 'the worklet plays');
  await sleep(3000);
  const shown = await browser.evaluate(lit);
  expect(shown > 0.5, `the first scene on the canvas (lit pixels ${shown})`);
  const probes = [await browser.evaluate(positionProbe)];
  expect(probes[0].scene === 1, `the first scene runs (scene ${probes[0].scene})`);

  // The page's thread busy for a second: the sound plays on, and the picture catches up.
  await browser.evaluate('(() => { const end = performance.now() + 1000; while (performance.now() < end); })()');
  await sleep(100);
  for (let i = 0; i < 20; ++i, await sleep(97)) probes.push(await browser.evaluate(positionProbe));
  const scenes = new Set(probes.map(p => p.scene));
  expect(scenes.size === 1 && scenes.has(1) && probes.every(p => p.heard < 0x0500),
         `the picture in the scene the heard position says (${[...scenes]})`);
  const error = syncError(probes);
  const latency = await browser.evaluate('Module.novalineSound.latencySeconds()');
  console.log(`the page's song position against the heard sound: within ${error} frames ` +
              `(${(error / kRate * 1000).toFixed(1)} ms) over ${probes.length} readings, ` +
              `the context's latency ${(latency * 1000).toFixed(1)} ms`);
  expect(error * 1000 / kRate <= kFrameMs, `the position within a frame of the sound (${error} frames)`);

  expect(await browser.waitFor(`Module.novalineSound.playedFrames() > ${kSongStartFrame + kCompared + 4096}`, 15),
         'the sound plays 10 s');
  const first = firstDifference(await browser.evaluate('window.captured(0)'), kCompared);
  expect(first === '', `the worklet's first 10 s are the render's: ${first}`);

  const escape = type => browser.send('Input.dispatchKeyEvent', { type, code: 'Escape',
                                                                   key: 'Escape',
                                                                   windowsVirtualKeyCode: 27 });
  // A press as long as a person's ends the first scene only: the next one runs on.
  await escape('keyDown');
  await new Promise(r => setTimeout(r, 250));
  await escape('keyUp');
  await new Promise(r => setTimeout(r, 1000));
  const afterPress = await browser.evaluate(`({ scene: Module._NovalineCurrentScene(),
                                                show: document.body.dataset.show })`);
  expect(afterPress.scene === 2 && afterPress.show === 'running',
         `a 250 ms press of Escape moves on to scene 2 (scene ${afterPress.scene}, ${afterPress.show})`);

  await escape('keyDown');
  expect(await browser.waitFor('document.body.dataset.show === "ended"', 10),
         'holding Escape ends the show');
  await escape('keyUp');
  expect(await browser.evaluate('Module.novalineSound.node === null'), 'the sound stops at once');

  // A click starts the show again, from the first scene, with the same sound.
  await browser.click(400, 300);
  expect(await browser.waitFor(`Module._NovalineCurrentScene() === 1 && window.origins[1] !== undefined &&
                                Module.novalineSound.playedFrames() > ${kSongStartFrame + 3 * kRate}`, 10),
         'the show starts again');
  const again = firstDifference(await browser.evaluate('window.captured(1)'), 3 * kRate);
  expect(again === '', `started again, the same sound: ${again}`);

  // The single file from disk: it asks for nothing but itself.
  const single = `file://${resolve(folder, 'novaline.html')}`;
  browser.requests.length = 0;
  await browser.send('Page.navigate', { url: single });
  expect(await browser.waitFor('document.body.dataset.show === "title"', 20),
         'the single file shows its title from disk');
  await browser.click(400, 300);
  expect(await browser.waitFor(`document.body.dataset.show === "running" &&
                                Module.novalineSound.playedFrames() > ${kRate}`, 10),
         'the single file starts on a click');
  await sleep(1500);
  const fileShown = await browser.evaluate(lit);
  const fileScene = await browser.evaluate('Module._NovalineCurrentScene()');
  expect(fileShown > 0.5 && fileScene === 1,
         `the single file shows scene 1 (scene ${fileScene}, lit pixels ${fileShown})`);
  const fetched = browser.requests.filter(u => u !== single && !u.startsWith('data:'));
  expect(fetched.length === 0, `the single file fetches nothing (${fetched.join(' ')})`);
  expect(browser.errors.length === 0, `no console errors: ${browser.errors.join(' | ')}`);

  // The page for a server, opened from disk, cannot read its files and says which file to open.
  await browser.send('Page.navigate', { url: `file://${resolve(folder, 'index.html')}` });
  expect(await browser.waitFor(`document.body.dataset.show === "unable" &&
                                /novaline\\.html/.test(document.getElementById("status").textContent)`, 10),
         'index.html from disk names the single file');

  // A browser without AudioWorklet: the page says so on the page.
  await browser.send('Page.addScriptToEvaluateOnNewDocument',
                     { source: 'delete window.AudioWorkletNode;' });
  await browser.send('Page.navigate', { url: `file://${resolve(folder, 'novaline.html')}` });
  expect(await browser.waitFor(`document.body.dataset.show === "unable" &&
                                /AudioWorklet/.test(document.getElementById("status").textContent)`, 10),
         'without AudioWorklet the page says it cannot play');
} catch (error) {
  failures.push(error.message);
} finally {
  server.kill();
  await browser?.close();
}
if (failures.length) {
  console.error(`FAILED: ${failures.join('; ')}`);
  process.exit(1);
}
console.log('the page shows and sounds from a server and from disk, ends and starts again in Chromium');
