// For programs of the web build run under Node.js: standard output and
// error are written with blocking writes, line by line, so none of it can be
// lost when the program exits at once (console.log, Emscripten's default,
// may still hold output when Node exits).
Module['print'] = function (text) { writeAllSync(1, text + '\n'); };
Module['printErr'] = function (text) { writeAllSync(2, text + '\n'); };

function writeAllSync(fd, text) {
  var fs = require('fs');
  var bytes = Buffer.from(text);
  var written = 0;
  while (written < bytes.length) {
    try {
      written += fs.writeSync(fd, bytes, written, bytes.length - written);
    } catch (error) {
      if (error.code === 'EPIPE') return;  // the reader has gone, as with `| head`
      if (error.code !== 'EAGAIN') throw error;  // a full pipe: try again
    }
  }
}
