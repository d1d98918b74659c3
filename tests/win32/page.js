// A stand-in page for the windowing tests under Node.js: the canvas the
// page's half of the windowing layer sizes, shows and hides, and the window
// its key listeners go on. The tests hand the listeners DOM key events
// through testPage.key, as a browser would.
(function () {
  var listeners = {};
  var canvas = {width: 300, height: 150, style: {}};
  var testPage = {
    canvas: canvas,
    hasCanvas: true,
    listenerCount: function () {
      return Object.keys(listeners).reduce(function (n, type) {
        return n + listeners[type].length;
      }, 0);
    },
    // Whether the listeners kept the event from the browser (preventDefault).
    key: function (type, code, altKey, repeat) {
      var prevented = false;
      var event = {
        type: type, code: code, key: '', location: 0, altKey: altKey, ctrlKey: false,
        shiftKey: false, metaKey: false, repeat: repeat, charCode: 0, keyCode: 0, which: 0,
        timeStamp: 0, preventDefault: function () { prevented = true; }
      };
      (listeners[type] || []).slice().forEach(function (listener) { listener(event); });
      return prevented;
    }
  };
  globalThis.testPage = testPage;
  globalThis.window = {
    addEventListener: function (type, listener) {
      (listeners[type] = listeners[type] || []).push(listener);
    },
    removeEventListener: function (type, listener) {
      listeners[type] = (listeners[type] || []).filter(function (l) { return l !== listener; });
    }
  };
  globalThis.document = {
    querySelector: function (selector) {
      return selector === '#canvas' && testPage.hasCanvas ? canvas : null;
    }
  };
})();
