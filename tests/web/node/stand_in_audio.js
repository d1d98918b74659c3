// A stand-in for the browser's Web Audio under Node.js, for the audio
// library's schedule test: an audio context whose clock the test moves by
// hand, whose output is heard a set latency after the context renders it,
// and whose sources remember what they were told to play and when.
//
// Environment: OUTPUT_LATENCY (seconds), OUTPUT_TIMESTAMPS=0 for a browser
// without getOutputTimestamp, =ahead for one whose performanceTime runs ahead
// of the page's clock by the context's time (WebKitGTK 2.50),
// CONTEXT_AGE (seconds the context has run when the program takes it over,
// as the page's has while the files load), TRACK_SECONDS (the decoded
// track's length).
(function () {
  var latency = Number(process.env.OUTPUT_LATENCY || 0);
  var timestamps = process.env.OUTPUT_TIMESTAMPS !== '0';
  var stampsAhead = process.env.OUTPUT_TIMESTAMPS === 'ahead';
  var contextAge = Number(process.env.CONTEXT_AGE || 0);
  var trackSeconds = Number(process.env.TRACK_SECONDS || 3);
  var renderQuantum = 128;  // frames the context renders at a time

  var now = 10;       // the page's clock, in seconds
  var origin = null;  // the page's clock when the context was made
  var contextRate = 0;

  performance.now = function () { return now * 1000; };

  // The context's time: what it has rendered, in whole render quanta.
  var rendered = function () {
    var elapsed = now - origin;
    return Math.floor(elapsed * contextRate / renderQuantum) * renderQuantum / contextRate;
  };

  function BufferSource() {
    this.buffer = null;
    this.startAt = null;
    this.offset = 0;
    this.stopAt = Infinity;
  }
  BufferSource.prototype.connect = function () {};
  BufferSource.prototype.start = function (when, offset) {
    if (this.startAt !== null) throw new Error('a source started twice');
    this.startAt = when;
    this.offset = offset || 0;
  };
  BufferSource.prototype.stop = function () { this.stopAt = Math.min(this.stopAt, rendered()); };

  function Context(options) {
    if (origin !== null) throw new Error('a second audio context');
    origin = now - contextAge;
    contextRate = options.sampleRate;
    this.sampleRate = options.sampleRate;
    this.state = 'running';
    this.outputLatency = latency;
    this.baseLatency = 0;
    this.destination = {};
  }
  Object.defineProperty(Context.prototype, 'currentTime', { get: rendered });
  Context.prototype.resume = function () { return Promise.resolve(); };
  Context.prototype.close = function () { this.state = 'closed'; return Promise.resolve(); };
  Context.prototype.createBufferSource = function () { return new BufferSource(); };
  if (timestamps) {
    // The sample heard when the context rendered its last quantum is the
    // one it rendered one latency earlier.
    Context.prototype.getOutputTimestamp = function () {
      var time = rendered();
      var contextTime = Math.max(0, time - latency);
      var performanceTime = (origin + time + (stampsAhead ? contextTime : 0)) * 1000;
      return { contextTime: contextTime, performanceTime: performanceTime };
    };
  }

  // Decodes to silence of the track's length at the rate asked for.
  function Decoder(channels, length, rate) { this.rate = rate; }
  Decoder.prototype.decodeAudioData = function () {
    var frames = Math.round(trackSeconds * this.rate);
    var silence = new Float32Array(frames);
    return Promise.resolve({
      sampleRate: this.rate, length: frames, duration: frames / this.rate, numberOfChannels: 2,
      getChannelData: function () { return silence; }
    });
  };

  globalThis.AudioContext = Context;
  globalThis.OfflineAudioContext = Decoder;

  Module.standIn = {
    advance: function (seconds) { now += seconds; },
    // The time in its buffer of the sample a source plays into the ear now,
    // or -1 when it plays nothing.
    heard: function (source) {
      if (!source || source.startAt === null) return -1;
      var time = now - origin - latency;  // the context time heard now
      if (time < source.startAt || time >= source.stopAt) return -1;
      var at = source.offset + (time - source.startAt);
      return at < source.buffer.duration ? at : -1;
    },
    rate: function (source) { return source ? source.buffer.sampleRate : 0; }
  };
})();
