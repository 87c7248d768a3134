// open-page.js -- opens a page of the game in headless Chromium, waits until
// the game's run has ended (the page fills the element with id "stats") or
// a message box appeared, and writes the page's DOM to a file, for
// tests/web/page.py. Talks to Chromium over its debugging pipe, in real time:
// no virtual time, which would run out while the WebAssembly compiles.
//
//   node open-page.js [--before SCRIPT.js] [--offline SERVER-PID] URL PROFILE-DIR OUT.html [TIMEOUT-SECONDS] [WxH]
//
// --before runs SCRIPT.js in the page before the page's own scripts.
// --offline: a first visit, with the network, lasts until the game is up and
// the service worker controls the page; then the server (process SERVER-PID)
// is stopped, the page goes offline (DevTools) and the address is opened
// again: that visit's run is the one waited for. Both visits' start times
// (the game's runtime up, from the start of the page's load) are printed. When
// the run has ended, this waits for the copy of the player's folder to
// IndexedDB to finish before it closes the browser. Exit code 0 when the run
// ended, 1 on a timeout or a failure (the DOM is written in every case, as
// far as there is one).
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');

const args = process.argv.slice(2);
const before = args[0] === '--before' ? fs.readFileSync(args.splice(0, 2)[1], 'utf8') : null;
const offline = args[0] === '--offline' ? Number(args.splice(0, 2)[1]) : null;
const [url, profile, out, timeoutText = '600', size = '1280x720'] = args;
if (!url || !profile || !out) {
  console.error('usage: node open-page.js [--before SCRIPT.js] [--offline SERVER-PID] URL PROFILE-DIR OUT.html ' +
    '[TIMEOUT-SECONDS] [WxH]');
  process.exit(2);
}
const chromium = process.env.CHROMIUM || 'chromium';
const browser = spawn(chromium, [
  '--headless', '--no-sandbox', '--remote-debugging-pipe', `--user-data-dir=${profile}`,
  '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-first-run', '--mute-audio',
  `--window-size=${size.replace('x', ',')}`, 'about:blank',
], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
browser.stderr.on('data', () => {});
const toBrowser = browser.stdio[3], fromBrowser = browser.stdio[4];

let nextId = 1, buffer = '';
const waiting = new Map();
function send(method, params = {}, sessionId) {
  const id = nextId++;
  const message = { id, method, params };
  if (sessionId) message.sessionId = sessionId;
  toBrowser.write(JSON.stringify(message) + '\0');
  return new Promise((resolve, reject) => waiting.set(id, { resolve, reject }));
}
fromBrowser.on('data', (chunk) => {
  buffer += chunk.toString('utf8');
  let end;
  while ((end = buffer.indexOf('\0')) >= 0) {
    const message = JSON.parse(buffer.slice(0, end));
    buffer = buffer.slice(end + 1);
    const entry = message.id && waiting.get(message.id);
    if (!entry) continue;
    waiting.delete(message.id);
    if (message.error) entry.reject(new Error(JSON.stringify(message.error)));
    else entry.resolve(message.result);
  }
});

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
  const deadline = Date.now() + Number(timeoutText) * 1000;
  const { targetInfos } = await send('Target.getTargets');
  const page = targetInfos.find((target) => target.type === 'page');
  const { sessionId } = await send('Target.attachToTarget', { targetId: page.targetId, flatten: true });
  const evaluate = async (expression) =>
    (await send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true }, sessionId)).result.value;
  if (before) {
    await send('Page.enable', {}, sessionId);
    await send('Page.addScriptToEvaluateOnNewDocument', { source: before }, sessionId);
  }
  if (offline) {
    await send('Page.navigate', { url }, sessionId);
    // Up, and the server's build is the one kept: the worker asked the
    // server once for its sw.js, nothing is installing or waiting, and
    // the worker in control holds one set of files.
    const ready = `(async () => {
      if (!(window.Module && Module.riftvaulterStarted && navigator.serviceWorker.controller)) return 0;
      const registration = await navigator.serviceWorker.getRegistration();
      window.riftvaulterUpdate = window.riftvaulterUpdate || registration.update();
      await window.riftvaulterUpdate;
      const kept = (await caches.keys()).filter((name) => name.startsWith('riftvaulter-'));
      const settled = !registration.installing && !registration.waiting && registration.active &&
        registration.active.state === 'activated' && kept.length === 1;
      return settled ? Module.riftvaulterStarted : 0;
    })()`;
    let started = 0;
    while (Date.now() < deadline && !started) {
      await sleep(250);
      started = await evaluate(ready).catch(() => 0);
    }
    if (!started) throw new Error('the first visit did not start the game under the service worker');
    console.log(`with the network: the game was up after ${Math.round(started)} ms`);
    process.kill(offline);
    await send('Network.enable', {}, sessionId);
    await send('Network.emulateNetworkConditions',
      { offline: true, latency: 0, downloadThroughput: -1, uploadThroughput: -1 }, sessionId);
  }
  await send('Page.navigate', { url }, sessionId);
  let ended = false;
  while (Date.now() < deadline) {
    await sleep(250);
    let state;
    try {
      state = await evaluate(`(function () {
        var stats = document.getElementById('stats'), messages = document.getElementById('messages');
        return (stats && stats.textContent ? 'ended' : '') + (messages && messages.children.length ? 'message' : '');
      })()`);
    } catch (error) {
      continue;  // between documents
    }
    if (state && state.startsWith('ended')) {
      ended = true;
      // The last saves may still be on their way to IndexedDB.
      while (Date.now() < deadline && await evaluate('!!(window.Module && Module.riftvaulterSaving)')) await sleep(100);
      if (offline) {
        console.log(`without the network: the game was up after ${Math.round(await evaluate('Module.riftvaulterStarted'))} ms`);
      }
      break;
    }
    if (state === 'message') {
      await sleep(1000);  // a failure's exit follows its message
      break;
    }
  }
  if (offline) {
    await evaluate("caches.keys().then((names) => { document.documentElement.dataset.caches = names.join(' '); })")
      .catch(() => {});
  }
  const dom = await evaluate('document.documentElement.outerHTML');
  fs.writeFileSync(out, '<!DOCTYPE html>\n' + (dom || ''));
  await send('Browser.close').catch(() => {});
  return ended;
}

main().then((ended) => {
  setTimeout(() => process.exit(ended ? 0 : 1), 500);
}, (error) => {
  console.error(`open-page: ${error.message}`);
  browser.kill();
  process.exit(1);
});
