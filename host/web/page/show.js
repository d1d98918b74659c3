// The show's page: a title with Play (browsers let a page start sound only
// after a click), a loading bar while the five files arrive, then the show
// in the canvas until the music ends or Esc is pressed, and back to the
// title. ?autoplay starts at once, without the click (kiosks, tests).
// Failures are said in one line under the Play button. The show runs as a
// rehearsal, so that the player's bar (player.js) and the keys move it;
// index.html#t=45s (or #t=BYTES) starts at that moment of the music.
'use strict';

(function () {
  var title = document.getElementById('title');
  var play = document.getElementById('play');
  var loading = document.getElementById('loading');
  var bar = document.getElementById('bar');
  var failure = document.getElementById('failure');
  var stage = document.getElementById('stage');
  var notice = document.getElementById('notice');
  var program = null;
  var notices = [];
  var player = null;
  // What the next start says first (a link's moment it could not use).
  var pendingNotices = [];
  // The files of the last show, for a show started again in its place.
  var loaded = null;
  // Set while a show is ended to start another in its place (the loop
  // toggled): how that one starts.
  var restarting = null;
  var WM_CLOSE = 0x0010;

  // Things the show goes on without (a texture, the sound), one line.
  var addNotice = function (text) {
    notices.push(text);
    notice.textContent = notices.join(' \u00b7 ');
    notice.hidden = false;
  };

  var setState = function (state) { document.body.dataset.state = state; };

  var showTitle = function () {
    if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
    stage.hidden = true;
    title.hidden = false;
    loading.hidden = true;
    play.disabled = false;
    play.focus();
  };

  var fail = function (text) {
    failure.textContent = text;
    failure.hidden = false;
    showTitle();
    setState('failed');
  };

  var hasWebGL2 = function () {
    try {
      return !!document.createElement('canvas').getContext('webgl2');
    } catch (error) {
      return false;
    }
  };

  var toggleFullscreen = function () {
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(function () {});
    } else if (stage.requestFullscreen) {
      stage.requestFullscreen().catch(function () {});
    }
  };

  // A fresh canvas for every show: the program makes its own context on it.
  var freshCanvas = function () {
    var old = document.getElementById('canvas');
    var canvas = document.createElement('canvas');
    canvas.id = 'canvas';
    canvas.width = 960;
    canvas.height = 544;
    old.replaceWith(canvas);
    return canvas;
  };

  // The show's audio context, made inside the click on Play: Safari and iOS
  // let a page start sound only there. The program takes it over and closes
  // it at the show's end. Null where the browser has no Web Audio.
  var makeAudioContext = function () {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return null;
    var context;
    try {
      context = new Context({ sampleRate: 44100 });
    } catch (error) {
      try { context = new Context(); } catch (again) { return null; }
    }
    context.resume().catch(function () {});
    return context;
  };

  // Whether a context left suspended is let to run within a moment.
  var startsSound = async function (context) {
    if (context.state === 'running') return true;
    var moment = new Promise(function (resolve) { setTimeout(resolve, 500); });
    await Promise.race([context.resume().catch(function () {}), moment]);
    return context.state === 'running';
  };

  // The moment of the page's #t link, or null (and a notice) when there is
  // none or it is not one.
  var linkedMoment = function () {
    var match = /^#t=(.*)$/.exec(location.hash);
    if (!match) return null;
    var text = decodeURIComponent(match[1]);
    var from = demoPlayer.parseMoment(text);
    if (from === null) {
      pendingNotices.push('The link\'s moment "' + text + '" is not a time (45s) or a ' +
                          'music position (1234567): playing from the start');
    }
    return from;
  };

  // Starts the show: `how` may give the moment (from: --from's text, else
  // the link's), whether to pause at once, and an audio context made in a
  // click; only a show started again in place of another gives them.
  var start = async function (clicked, how) {
    how = how || {};
    play.disabled = true;
    failure.hidden = true;
    notice.hidden = true;
    notices = [];
    var from = 'from' in how ? how.from : linkedMoment();
    pendingNotices.splice(0).forEach(addNotice);
    if (!hasWebGL2()) {
      return fail('This browser offers no WebGL 2, which the show needs.');
    }
    if (!demoFiles.hasWasmSimd()) return fail(demoFiles.noWasmSimd);
    var audioContext = how.audioContext || makeAudioContext();
    if (audioContext && !clicked && !(await startsSound(audioContext))) {
      // ?autoplay where the browser wants a click before any sound.
      audioContext.close().catch(function () {});
      failure.textContent = 'This browser plays sound only after a click: press Play.';
      failure.hidden = false;
      showTitle();
      setState('needs-click');
      return;
    }
    setState('loading');
    bar.style.width = '0';
    loading.hidden = false;
    var names = demoFiles.textures.concat([demoFiles.music]);
    var files = how.audioContext && loaded ? loaded : await demoFiles.fetchAll(names,
        function (fraction) { bar.style.width = (100 * fraction).toFixed(1) + '%'; });
    var failed = function (text) {
      if (audioContext) audioContext.close().catch(function () {});
      return fail(text);
    };
    if (files[demoFiles.music].failure) return failed(files[demoFiles.music].failure);
    // A texture the server does not have is drawn untextured, as in the
    // demo; one whose transfer failed is worth another try.
    var broken = demoFiles.textures.filter(function (name) {
      return files[name].failure && files[name].status !== 404 && files[name].status !== 410;
    });
    if (broken.length > 0) return failed(files[broken[0]].failure);
    var missing = demoFiles.textures.filter(function (name) { return files[name].failure; });
    loaded = files;
    if (missing.length > 0) {
      // As in the demo, the show goes on: that geometry is drawn untextured.
      addNotice(files[missing[0]].failure + '; drawn untextured' +
          (missing.length > 1 ? ' (and ' + (missing.length - 1) + ' more)' : ''));
    }

    var lastProblem = '';
    var canvas = freshCanvas();
    try {
      program = await demoFiles.startProgram('demo.js', files, {
        canvas: canvas,
        audioContext: audioContext,
        locateFile: function (path) { return path; },
        print: function (line) { console.log(line); },
        printErr: function (line) {
          console.warn(line);
          if (/^demo: /.test(line)) lastProblem = line.slice(6);
          if (/^audio: /.test(line)) addNotice(line.slice(7));
        },
        onAbort: function (what) { failed('The show stopped: ' + what); },
        demoEnded: function (status) {
          // Nothing of the ended show is kept: the canvas its context was
          // made on goes too.
          program = null;
          player.detach();
          freshCanvas();
          if (audioContext) audioContext.close().catch(function () {});
          if (restarting && status === 0) {
            var next = restarting;
            restarting = null;
            return start(true, next);
          }
          if (restarting) restarting.audioContext.close().catch(function () {});
          restarting = null;
          if (status === 2 && from !== null && !('from' in how)) {
            // A link to a moment past the music's end: the show from the start.
            pendingNotices.push('The link\'s moment ' + from + ' is past the music\'s end: ' +
                                'playing from the start');
            return start(clicked, { from: null });
          }
          if (status !== 0) return fail(lastProblem || 'The show could not start.');
          showTitle();
          setState('ended');
        }
      });
    } catch (error) {
      return failed(error.message || String(error));
    }
    title.hidden = true;
    stage.hidden = false;
    setState('playing');
    var args = ['--rehearse'];
    if (player.loop()) args.push('--loop');
    if (from !== null) args.push('--from', from);
    program.callMain(args);
    player.attach(program, how.paused);
  };

  // The loop toggled during a show: it is a setting of the program's, so the
  // show starts again at the same moment with it, paused if it was (inside
  // the click, where a new audio context may start sound).
  var restart = function () {
    if (!program || restarting) return;
    restarting = {
      from: String(Math.max(program._demo_show_position(), 0)),
      paused: player.paused(),
      audioContext: makeAudioContext()
    };
    program._demo_post_message(WM_CLOSE, 0, 0);
  };

  // For tests and the curious: where the show and its music are, in bytes.
  window.demo = {
    showPosition: function () { return program ? program._demo_show_position() : -1; },
    musicPosition: function () { return program ? program._demo_audio_position() : -1; },
    program: function () { return program; }
  };

  player = demoPlayer.create({
    stage: stage,
    onFullscreen: toggleFullscreen,
    onLoop: restart,
    say: addNotice
  });

  play.addEventListener('click', function () { start(true); });
  // A link to another moment followed during the show moves it there.
  window.addEventListener('hashchange', function () {
    var match = /^#t=(.*)$/.exec(location.hash);
    var from = match ? demoPlayer.parseMoment(decodeURIComponent(match[1])) : null;
    if (program && from !== null) player.seek(demoPlayer.momentBytes(from));
  });
  document.addEventListener('keydown', function (event) {
    if (!stage.hidden && (event.key === 'f' || event.key === 'F') && !event.repeat &&
        !event.ctrlKey && !event.altKey && !event.metaKey) {
      toggleFullscreen();
    }
  });
  // The transport's keys reach the show as key messages (host/web/win32):
  // while it plays, the browser does nothing else with them, so that Space
  // does not also press the focused button nor scroll, nor the arrows move
  // the seek bar. Enter still presses a focused button; Tab moves the focus.
  var transportKey = /^(Space|KeyK|ArrowLeft|ArrowRight|Home|Digit[1-5])$/;
  var holdKey = function (event) {
    if (program && transportKey.test(event.code) && !event.ctrlKey && !event.altKey &&
        !event.metaKey) {
      event.preventDefault();
    }
  };
  window.addEventListener('keydown', holdKey, true);
  window.addEventListener('keyup', holdKey, true);
  setState('title');
  if (new URLSearchParams(location.search).has('autoplay')) {
    start(false);
  } else {
    play.focus();
  }
})();
