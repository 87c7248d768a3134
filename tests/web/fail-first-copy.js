// fail-first-copy.js -- test-web runs this in the page before the page's own
// scripts: the first copy of the player's folder to IndexedDB fails, as a
// full disk makes it fail. Its transaction is aborted, so nothing of that
// copy is kept; the page's <html> element counts the failures
// (data-failed-copies) for the DOM dump.
(function () {
  'use strict';
  var put = IDBObjectStore.prototype.put;
  var failures = 0;
  IDBObjectStore.prototype.put = function () {
    if (failures) return put.apply(this, arguments);
    failures++;
    document.documentElement.dataset.failedCopies = String(failures);
    this.transaction.abort();
    throw new DOMException('the disk is full (test)', 'QuotaExceededError');
  };
})();
