// The web page's frame cost in headless Chromium: node bench/web_frame_times.mjs [SECONDS] [DIR]
// (default 60 s of the show, page in build-web/). Per scene, the median and the worst time the
// show's code held the page's thread for one frame (drawing, the canvas copy, the sound's mixing
// and scheduling; not the yield to the browser), against the 14.3 ms of a frame at 70 fps.
import { openChromium, servePage } from '../tests/web/chromium_session.mjs';

const seconds = Number(process.argv[2] ?? 60);
const folder = process.argv[3] ?? 'build-web';
const { url, server } = await servePage(folder);
let browser;
try {
  browser = await openChromium();
  await browser.send('Page.navigate', { url });
  if (!await browser.waitFor('document.body.dataset.show === "title"', 30)) {
    throw new Error('the page did not load');
  }
  // Room for every frame of the run, made before the show starts.
  await browser.evaluate(`(() => {
    const capacity = ${Math.ceil(seconds * 70 * 1.2)};
    const times = new Float64Array(capacity), scenes = new Uint8Array(capacity);
    let count = 0;
    Module.onFrameShown = us => {
      if (count < capacity) { times[count] = us; scenes[count++] = Module._NovalineCurrentScene(); }
    };
    window.frameTimes = () => ({ times: Array.from(times.subarray(0, count)),
                                 scenes: Array.from(scenes.subarray(0, count)) });
  })()`);
  await browser.click(400, 300);
  await new Promise(resolve => setTimeout(resolve, seconds * 1000));
  const { times, scenes } = await browser.evaluate('window.frameTimes()');
  const budgetMs = 1000 / 70;
  console.log(`${times.length} frames in ${seconds} s (${(times.length / seconds).toFixed(1)} fps)`);
  console.log('scene  frames  median ms  worst ms  over 14.3 ms');
  for (let scene = 0; scene <= 8; ++scene) {
    const ms = times.filter((_, i) => scenes[i] === scene).map(us => us / 1000).sort((a, b) => a - b);
    if (!ms.length) continue;
    const over = ms.filter(t => t > budgetMs).length;
    console.log(`${scene ? scene : 'flash'}`.padStart(5),
                `${ms.length}`.padStart(7), ms[ms.length >> 1].toFixed(2).padStart(10),
                ms[ms.length - 1].toFixed(2).padStart(9), `${over}`.padStart(13));
  }
  if (browser.errors.length) console.log(`console errors: ${browser.errors.join(' | ')}`);
} finally {
  server.kill();
  await browser?.close();
}
