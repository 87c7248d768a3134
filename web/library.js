// library.js -- JavaScript the game calls by name (platform/Browser.cpp).
mergeInto(LibraryManager.library, {
  // SDL's audio reaches for these two from its own inline JavaScript, which
  // does not pull them in by itself.
  riftvaulter_persist__deps: ['$autoResumeAudioContext', '$dynCall'],
  riftvaulter_persist: function () {
    if (Module.riftvaulterPersist) Module.riftvaulterPersist();
  },
});
