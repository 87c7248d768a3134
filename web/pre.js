// pre.js -- the player's folder in the browser: /save is kept in IndexedDB.
// Before the game starts it is loaded from there; after every file the game
// writes (Module.riftvaulterPersist, called from the game) it is copied back.
// Links the game lays out there (to the packed read-only files) stay out of
// IndexedDB: they are made again at every start.

Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  // IDBFS as shipped follows links into the folders they name; ours are
  // skipped instead.
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
      removeRunDependency('riftvaulter-save');
    });
  } catch (error) {
    failed('Der Browser erlaubt keinen dauerhaften Speicher (IndexedDB)', error);
    removeRunDependency('riftvaulter-save');
  }
});

// One copy to IndexedDB at a time; writes during one are taken by the next.
(function () {
  var running = false, again = false;
  Module.riftvaulterPersist = function () {
    if (Module.riftvaulterStorageBroken) return;
    if (running) {
      again = true;
      return;
    }
    running = true;
    FS.syncfs(false, function (error) {
      running = false;
      if (error) {
        if (Module.riftvaulterMessage)
          Module.riftvaulterMessage(true, 'Speichern fehlgeschlagen',
            'Der Spielstand konnte nicht im Browser gespeichert werden (' +
            (error.message || error) + '). Der zuletzt gespeicherte Stand bleibt erhalten.');
        return;
      }
      if (again) {
        again = false;
        Module.riftvaulterPersist();
      }
    });
  };
})();
