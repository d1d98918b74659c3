// still.html?pos=N: the frame of the show at music byte position N, drawn
// into the 960 x 544 canvas exactly as rendered; then the document's title
// is "ready" (or "error: ..." and the cause), and the canvas can be read.
'use strict';

(async function () {
  var fail = function (reason) { document.title = 'error: ' + reason; };
  var position = new URLSearchParams(location.search).get('pos');
  if (position === null) return fail('no position; use still.html?pos=N');
  if (!demoFiles.hasWasmSimd()) return fail(demoFiles.noWasmSimd);
  var files = await demoFiles.fetchAll(demoFiles.textures);
  demoFiles.textures.forEach(function (name) {
    if (files[name].failure) console.warn(files[name].failure + '; drawn untextured');
  });
  var canvas = document.getElementById('still');
  var settings = {
    locateFile: function (path) { return path; },
    printErr: function (line) { console.warn(line); },
    onAbort: function (what) { fail('the program stopped: ' + what); },
    showFrame: function (rgba, width, height) {
      canvas.width = width;
      canvas.height = height;
      var context = canvas.getContext('2d');
      var image = context.createImageData(width, height);
      image.data.set(rgba);
      // The back buffer is X8R8G8B8: its alpha means nothing, the picture is opaque.
      for (var i = 3; i < image.data.length; i += 4) image.data[i] = 255;
      context.putImageData(image, 0, 0);
      document.title = 'ready';
    },
    stillFailed: fail
  };
  try {
    var program = await demoFiles.startProgram('demo-still.js', files, settings);
    program.callMain([position]);
  } catch (error) {
    fail(error.message || String(error));
  }
})();
