// The web page in headless Chromium: node page_test.mjs BUILD_WEB_DIR. Loads the page from a local
// server, clicks, and after a few seconds of the first scene expects a picture on the canvas, the
// sound's clock moved on with sound scheduled, the show ended by holding Escape and started again
// by a click, and no console error. Exits 77 (skipped) without Chromium; a folder without a page
// fails, since a page test skipped unseen would pass a page never tested.
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { openChromium, servePage } from './chromium_session.mjs';

const folder = process.argv[2];
if (!existsSync('/usr/bin/chromium')) {
  console.log('skipped: needs /usr/bin/chromium');
  process.exit(77);
}
if (!existsSync(join(folder, 'novaline.wasm'))) {
  console.log(`no page in ${folder}: ./build.sh web builds it`);
  process.exit(1);
}

const failures = [];
const expect = (ok, what) => { if (!ok) failures.push(what); };
const { url, server } = await servePage(folder);
let browser;
try {
  browser = await openChromium();
  await browser.send('Page.navigate', { url });
  expect(await browser.waitFor('document.body.dataset.show === "title"', 20), 'the title shows');
  await browser.click(400, 300);
  expect(await browser.waitFor('document.body.dataset.show === "running"', 5), 'the show starts');
  const audioStart = await browser.evaluate('Module.audioContext.currentTime');
  await new Promise(r => setTimeout(r, 4000));

  // Scene 1 is a picture under grain: most of its pixels are lit.
  const lit = await browser.evaluate(`(() => {
    const c = document.getElementById('screen');
    const p = c.getContext('2d').getImageData(0, 2, 320, 196).data;
    let n = 0;
    for (let i = 0; i < p.length; i += 4) if (p[i] + p[i + 1] + p[i + 2] > 0) ++n;
    return n / (p.length / 4);
  })()`);
  expect(lit > 0.5, `the first scene on the canvas (lit pixels ${lit})`);
  const scene = await browser.evaluate('Module._NovalineCurrentScene()');
  expect(scene === 1, `the first scene runs (scene ${scene})`);
  const audio = await browser.evaluate(`({ time: Module.audioContext.currentTime,
    scheduled: Module.novalineAudio.scheduledFrames, peak: Module.novalineAudio.peak })`);
  expect(audio.time - audioStart > 2, `the audio clock moved on (${audio.time - audioStart} s)`);
  expect(audio.scheduled > 44100 * 2 && audio.peak > 0,
         `the sound scheduled (${audio.scheduled} frames, peak ${audio.peak})`);

  await browser.send('Input.dispatchKeyEvent', { type: 'keyDown', code: 'Escape', key: 'Escape',
                                                windowsVirtualKeyCode: 27 });
  expect(await browser.waitFor('document.body.dataset.show === "ended"', 10),
         'holding Escape ends the show');
  // A click starts it again, from the first scene, with the sound.
  await browser.send('Input.dispatchKeyEvent', { type: 'keyUp', code: 'Escape', key: 'Escape',
                                                windowsVirtualKeyCode: 27 });
  await browser.click(400, 300);
  expect(await browser.waitFor(`Module._NovalineCurrentScene() === 1 &&
                                Module.novalineAudio.scheduledFrames > 0`, 5),
         'the show starts again');
  expect(browser.errors.length === 0, `no console errors: ${browser.errors.join(' | ')}`);
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
console.log('the page shows, sounds, ends and starts again in Chromium');
