// pre.js -- the player's folder in the browser: /save is kept in IndexedDB.
// Before the game starts it is loaded from there; after every file the game
// writes (Module.riftvaulterPersist, called from the game) and when the page
// is left it is copied back. Links the game lays out there (to the packed
// read-only files) stay out of IndexedDB: they are made again at every start.

Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  // IDBFS as shipped follows links into the folders they name; ours are
  // skipped instead. getLocalSet is IDBFS's own, not part of emscripten's
  // interface: where an upgrade took it away, the copies would take the
  // packed read-only files along, so the page stops before the game starts.
  if (typeof IDBFS.getLocalSet !== 'function')
    abort('web/pre.js passt nicht zu diesem emscripten: IDBFS.getLocalSet fehlt');
  IDBFS.getLocalSet = function (mount, callback) {
    var entries = {};
    var check = FS.readdir(mount.mountpoint).filter(function (p) { return p !== '.' && p !== '..'; })
      .map(function (p) { return PATH.join2(mount.mountpoint, p); });
    while (check.length) {
      var path = check.pop();
      var stat;
      try {
        stat = FS.lstat(path);
      } catch (e) {
        return callback(e);
      }
      if (FS.isLink(stat.mode)) continue;
      if (FS.isDir(stat.mode)) {
        check.push.apply(check, FS.readdir(path).filter(function (p) { return p !== '.' && p !== '..'; })
          .map(function (p) { return PATH.join2(path, p); }));
      }
      entries[path] = { 'timestamp': stat.mtime };
    }
    return callback(null, { type: 'local', entries: entries });
  };
  FS.mkdirTree('/riftvaulter/bin');
  FS.mkdir('/save');
  var failed = function (what, error) {
    Module.riftvaulterStorageBroken = true;
    if (Module.riftvaulterMessage)
      Module.riftvaulterMessage(true, 'Speicher nicht verf\u00fcgbar',
        what + ' (' + (error && error.message ? error.message : error) + '). ' +
        'Das Spiel l\u00e4uft, aber Highscores und Einstellungen gehen beim Neuladen verloren.');
  };
  var database = null;
  try {
    database = window.indexedDB;
  } catch (error) {
    database = null;
  }
  if (!database) {
    // /save stays a folder in memory.
    failed('Der Browser erlaubt keinen dauerhaften Speicher (IndexedDB)', 'gesperrt');
    return;
  }
  try {
    FS.mount(IDBFS, {}, '/save');
  } catch (error) {
    failed('Der Browser erlaubt keinen dauerhaften Speicher (IndexedDB)', error);
    return;
  }
  addRunDependency('riftvaulter-save');
  try {
    FS.syncfs(true, function (error) {
      if (error) failed('Der gespeicherte Spielstand kann nicht gelesen werden (IndexedDB)', error);
      else Module.riftvaulterLoaded = true;
      removeRunDependency('riftvaulter-save');
    });
  } catch (error) {
    failed('Der Browser erlaubt keinen dauerhaften Speicher (IndexedDB)', error);
    removeRunDependency('riftvaulter-save');
  }
});

// One copy to IndexedDB at a time; writes during one are taken by the next.
// A copy that fails is tried once more when writes came during it: the last
// of them may be a highscore saved just before the tab closes, and no later
// write would take it along. Nothing is copied before the saved state is
// loaded: the copy would delete what it has not read yet.
// Module.riftvaulterSaving is true while a copy runs (the browser checks wait
// for it before they close the browser).
(function () {
  var running = false, again = false, retrying = false;
  function copy() {
    running = Module.riftvaulterSaving = true;
    FS.syncfs(false, function (error) {
      running = Module.riftvaulterSaving = false;
      var more = again;
      again = false;
      if (error && more && !retrying) {
        retrying = true;
        copy();
        return;
      }
      retrying = false;
      if (error) {
        if (Module.riftvaulterMessage)
          Module.riftvaulterMessage(true, 'Speichern fehlgeschlagen',
            'Der Spielstand konnte nicht im Browser gespeichert werden (' +
            (error.message || error) + '). Der zuletzt gespeicherte Stand bleibt erhalten.');
        return;
      }
      if (more) copy();
    });
  }
  Module.riftvaulterPersist = function () {
    if (Module.riftvaulterStorageBroken || !Module.riftvaulterLoaded) return;
    if (running) {
      again = true;
      return;
    }
    copy();
  };
  // A tab closed or left while the game runs: what it wrote last goes too.
  window.addEventListener('pagehide', function () { Module.riftvaulterPersist(); });
})();
