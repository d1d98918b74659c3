// The files the show reads, fetched before it starts and handed to the
// program's file system under their own names: the four textures and the
// music (the program reads them as the demo reads them from its folder).
'use strict';

var demoFiles = {
  textures: ['tree.dds', 'grass.dds', 'ground.dds', 'leaf.dds'],
  music: 'demo.mp3',

  // Whether the browser runs WebAssembly's 128-bit SIMD, which the programs
  // are compiled for: a function of i8x16.splat and i8x16.popcnt must
  // validate. Without it they would fail while compiling.
  hasWasmSimd: function () {
    var probe = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
      10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);
    try {
      return typeof WebAssembly === 'object' && WebAssembly.validate(probe);
    } catch (error) {
      return false;
    }
  },
  noWasmSimd: 'This browser cannot run the show: it lacks WebAssembly SIMD, which ' +
      'Chrome and Edge 91, Firefox 89, Safari 16.4 and later versions have.',

  // A transfer that brings nothing for this long is given up.
  stallSeconds: 30,

  // Fetches every name at once. onProgress(fraction) follows the bytes that
  // have arrived. Resolves to an object that gives, for each name, either
  // { bytes: Uint8Array } or { failure: 'could not fetch "name": ...',
  // status: the HTTP status, or 0 when the transfer itself failed }.
  fetchAll: async function (names, onProgress) {
    var loaded = {};
    var totals = {};
    var report = function () {
      if (!onProgress) return;
      var have = 0;
      var want = 0;
      names.forEach(function (name) {
        have += loaded[name] || 0;
        want += totals[name] || loaded[name] || 0;
      });
      onProgress(want > 0 ? Math.min(1, have / want) : 0);
    };
    var fetchOne = async function (name) {
      var failure = function (cause, status) {
        return { failure: 'could not fetch "' + name + '": ' + cause, status: status || 0 };
      };
      var controller = new AbortController();
      var stalled = false;
      var timer = 0;
      var watch = function () {
        clearTimeout(timer);
        timer = setTimeout(function () {
          stalled = true;
          controller.abort();
        }, demoFiles.stallSeconds * 1000);
      };
      var size = 0;
      try {
        watch();
        var response = await fetch(name, { cache: 'no-cache', signal: controller.signal });
        if (!response.ok) {
          var status = response.status + (response.statusText ? ' ' + response.statusText : '');
          return failure('HTTP ' + status, response.status);
        }
        totals[name] = Number(response.headers.get('Content-Length')) || 0;
        var reader = response.body.getReader();
        var parts = [];
        for (;;) {
          var step = await reader.read();
          if (step.done) break;
          watch();
          parts.push(step.value);
          size += step.value.length;
          loaded[name] = size;
          report();
        }
        if (totals[name] > 0 && size !== totals[name]) {
          return failure('the connection ended after ' + size + ' of ' + totals[name] + ' bytes');
        }
        var bytes = new Uint8Array(size);
        var at = 0;
        parts.forEach(function (part) { bytes.set(part, at); at += part.length; });
        return { bytes: bytes };
      } catch (error) {
        var arrived = totals[name] > 0 ? size + ' of ' + totals[name] + ' bytes' : size + ' bytes';
        if (stalled) {
          return failure('nothing arrived for ' + demoFiles.stallSeconds + ' s (after ' + arrived + ')');
        }
        return failure(size > 0 || totals[name] > 0
            ? 'the connection dropped after ' + arrived
            : (error && error.message) || String(error));
      } finally {
        clearTimeout(timer);
      }
    };
    var results = await Promise.all(names.map(fetchOne));
    var files = {};
    names.forEach(function (name, i) { files[name] = results[i]; });
    return files;
  },

  // Adds a script to the page. Its handlers are dropped once it has loaded:
  // the tag stays in the page, and nothing of a show may hang from it.
  loadScript: function (script) {
    return new Promise(function (resolve, reject) {
      var tag = document.createElement('script');
      tag.src = script;
      tag.onload = function () {
        tag.onload = tag.onerror = null;
        resolve();
      };
      tag.onerror = function () {
        tag.onload = tag.onerror = null;
        reject(new Error('could not fetch "' + script + '"'));
      };
      document.head.appendChild(tag);
    });
  },

  // Loads a program's script (once) and makes a fresh instance of it, with
  // the files that arrived written into its file system.
  startProgram: async function (script, files, settings) {
    if (typeof createProgram === 'undefined' || demoFiles.loadedScript !== script) {
      await demoFiles.loadScript(script);
      demoFiles.loadedScript = script;
    }
    var program = await createProgram(settings);
    Object.keys(files).forEach(function (name) {
      if (files[name].bytes) program.FS.writeFile('/' + name, files[name].bytes);
    });
    return program;
  }
};
