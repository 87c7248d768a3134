// sw.js -- the service worker: keeps every file of the page in the
// browser's cache, so that after one visit the game starts and plays with
// the network gone. scripts/build-web fills in the files and the version,
// a hash of them all: a new build is a new worker, which on the next visit
// with a network fetches the new files as one set, takes over from the old
// worker and drops the old set.
'use strict';
const VERSION = '@VERSION@';
const FILES = @FILES@;
const CACHE = 'riftvaulter-' + VERSION;

self.addEventListener('install', (event) => {
  // Past the browser's HTTP cache: the set must be this build's files only.
  event.waitUntil(caches.open(CACHE)
    .then((cache) => cache.addAll(FILES.map((file) => new Request(file, { cache: 'reload' }))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith('riftvaulter-') && name !== CACHE)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// The page's address carries the game's command line (?autopilot&...): the
// cached files answer whatever the query.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(request, { ignoreSearch: true }))
    .then((cached) => cached || fetch(request)));
});
