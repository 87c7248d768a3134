// open-page.js -- opens a page of the game in headless Chromium, waits until
// the game's run has ended (the page fills the element with id "stats") or
// a message box appeared, and writes the page's DOM to a file, for
// tests/web/page.py. Talks to Chromium over its debugging pipe, in real time:
// no virtual time, which would run out while the WebAssembly compiles.
//
//   node open-page.js [--before SCRIPT.js] URL PROFILE-DIR OUT.html [TIMEOUT-SECONDS] [WxH]
//
// --before runs SCRIPT.js in the page before the page's own scripts. When
// the run has ended, this waits for the copy of the player's folder to
// IndexedDB to finish before it closes the browser. Exit code 0 when the run
// ended, 1 on a timeout or a failure (the DOM is written in every case, as
// far as there is one).
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');

const args = process.argv.slice(2);
const before = args[0] === '--before' ? fs.readFileSync(args.splice(0, 2)[1], 'utf8') : null;
const [url, profile, out, timeoutText = '600', size = '1280x720'] = args;
if (!url || !profile || !out) {
  console.error('usage: node open-page.js [--before SCRIPT.js] URL PROFILE-DIR OUT.html [TIMEOUT-SECONDS] [WxH]');
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
    (await send('Runtime.evaluate', { expression, returnByValue: true }, sessionId)).result.value;
  if (before) {
    await send('Page.enable', {}, sessionId);
    await send('Page.addScriptToEvaluateOnNewDocument', { source: before }, sessionId);
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
      break;
    }
    if (state === 'message') {
      await sleep(1000);  // a failure's exit follows its message
      break;
    }
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
