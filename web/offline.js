// offline.js -- installs the service worker (sw.js) that keeps the page's
// files for play without a network, and lets a new build take over.
(function () {
  'use strict';
  // Browsers offer service workers on https and on localhost only.
  if (!('serviceWorker' in navigator) || !window.isSecureContext) return;
  var updating = !!navigator.serviceWorker.controller;
  navigator.serviceWorker.addEventListener('controllerchange', function () {
    // A new build's worker took over from the one this page came from. While
    // the game has not begun, the page starts again on the new build's
    // files, which no longer mix with the old ones; a running game has all
    // it needs and plays on, and the next visit brings the new build.
    var start = document.getElementById('start');
    var begun = window.Module && Module.riftvaulterStarted && !(start && !start.hidden);
    if (updating && !begun) location.reload();
    updating = true;
  });
  navigator.serviceWorker.register('sw.js').catch(function (error) {
    console.warn('Riftvaulter: ohne Offline-Speicher (' + error + ')');
  });
})();
