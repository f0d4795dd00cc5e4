// Headless Chromium driven over the DevTools protocol on a pipe (--remote-debugging-pipe): no
// package beyond Node.js itself. One page, its console errors, exceptions and requests collected.
import { spawn } from 'node:child_process';
import { mkdtempSync } from 'node:fs';
import { rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export async function openChromium(chromium = '/usr/bin/chromium') {
  const profile = mkdtempSync(join(tmpdir(), 'novaline-chromium-'));
  const browser = spawn(chromium, [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    // A container's small /dev/shm would crash the renderer.
    '--disable-dev-shm-usage',
    '--remote-debugging-pipe', `--user-data-dir=${profile}`, 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
  const toBrowser = browser.stdio[3];
  const pending = new Map();
  const errors = [];
  const requests = [];  // every URL the page asked for, data: URLs included
  let nextId = 1;
  let received = '';
  browser.stdio[4].on('data', chunk => {
    received += chunk.toString('utf8');
    let end;
    while ((end = received.indexOf('\0')) >= 0) {
      const message = JSON.parse(received.slice(0, end));
      received = received.slice(end + 1);
      if (message.id && pending.has(message.id)) {
        const { resolve, reject } = pending.get(message.id);
        pending.delete(message.id);
        if (message.error) reject(new Error(message.error.message)); else resolve(message.result);
      } else if (message.method === 'Runtime.exceptionThrown') {
        errors.push(message.params.exceptionDetails.exception?.description ??
                    message.params.exceptionDetails.text);
      } else if (message.method === 'Runtime.consoleAPICalled' && message.params.type === 'error') {
        errors.push(message.params.args.map(a => a.value ?? a.description).join(' '));
      } else if (message.method === 'Log.entryAdded' && message.params.entry.level === 'error') {
        errors.push(message.params.entry.text);
      } else if (message.method === 'Network.requestWillBeSent') {
        requests.push(message.params.request.url);
      }
    }
  });
  let sessionId;
  const send = (method, params = {}) => new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { resolve, reject });
    toBrowser.write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  });
  const { targetInfos } = await send('Target.getTargets');
  const page = targetInfos.find(t => t.type === 'page');
  ({ sessionId } = await send('Target.attachToTarget', { targetId: page.targetId, flatten: true }));
  await Promise.all([send('Page.enable'), send('Runtime.enable'), send('Log.enable'),
                    send('Network.enable')]);

  const evaluate = async expression => {
    const { result, exceptionDetails } =
        await send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true });
    if (exceptionDetails) {
      const what = exceptionDetails.exception?.description ?? exceptionDetails.text;
      throw new Error(`${expression.trim().split('\n')[0].slice(0, 60)}...: ${what}`);
    }
    return result.value;
  };
  return {
    send, evaluate, errors, requests,
    async waitFor(expression, seconds) {
      for (const end = Date.now() + seconds * 1000; Date.now() < end;) {
        // Before the page has loaded, what the expression reads may not exist yet.
        if (await evaluate(expression).catch(() => false)) return true;
        await new Promise(r => setTimeout(r, 100));
      }
      return false;
    },
    async click(x, y) {
      for (const type of ['mousePressed', 'mouseReleased']) {
        await send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
      }
    },
    async close() {
      const exited = new Promise(resolve => browser.once('exit', resolve));
      await send('Browser.close').catch(() => browser.kill());
      await exited;
      // Its helper processes may still be writing there for a moment after it has gone.
      await rm(profile, { recursive: true, force: true, maxRetries: 20, retryDelay: 100 });
    },
  };
}

// The page's folder served on a free local port; resolves to its URL and the server process.
export function servePage(folder) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1'],
                       { cwd: folder, stdio: ['ignore', 'pipe', 'ignore'] });
  return new Promise((resolve, reject) => {
    let text = '';
    server.stdout.on('data', chunk => {
      text += chunk;
      const port = /port (\d+)/.exec(text);
      if (port) resolve({ url: `http://127.0.0.1:${port[1]}/`, server });
    });
    server.on('exit', code => reject(new Error(`http.server ended with ${code}`)));
  });
}
