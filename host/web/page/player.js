// The show's control bar, over the canvas: pause and play, a seek bar with
// the five scenes marked on it, the time, loop, a link to the moment shown,
// fullscreen. It comes up on a mouse move or a touch and goes after three
// seconds of stillness, or stays while a key has put the focus in it. The
// show itself keeps the clock: the bar reads the program's music position
// and sends its window the transport's messages.
'use strict';

var demoPlayer = (function () {
  // The show window's transport messages (app/transport.h): kSeekMessage,
  // WM_APP, with the music position in bytes as lparam, and kPauseMessage,
  // WM_APP + 1, with wparam 1 to pause and 0 to resume.
  var SEEK_MESSAGE = 0x8000;
  var PAUSE_MESSAGE = 0x8001;
  var BYTES_PER_SECOND = 176400;  // 16-bit stereo at 44100 Hz
  var SCENES = 5;
  var HIDE_AFTER_MS = 3000;

  // "1:52" for a music position in bytes.
  var clock = function (bytes) {
    var seconds = Math.floor(Math.max(bytes, 0) / BYTES_PER_SECOND);
    return Math.floor(seconds / 60) + ':' + String(seconds % 60).padStart(2, '0');
  };

  // A moment as the link and --from write it: seconds with up to three
  // decimals ("45s", "45.125s"), within a millisecond of `bytes`.
  var moment = function (bytes) {
    var millis = Math.floor(Math.max(bytes, 0) * 1000 / BYTES_PER_SECOND);
    var text = String(Math.floor(millis / 1000));
    if (millis % 1000) text += ('.' + String(millis % 1000).padStart(3, '0')).replace(/0+$/, '');
    return text + 's';
  };

  // The moment of a link's "#t=45s", "#t=12.5s" or "#t=1234567" (bytes), as
  // the program's --from takes it; null for anything else.
  var parseMoment = function (text) {
    if (/^\d{1,5}(\.\d{1,3})?s$/.test(text) || /^\d{1,10}$/.test(text)) return text;
    return null;
  };

  // The music byte a moment's text stands for, as --from reads it.
  var momentBytes = function (text) {
    var bytes = /s$/.test(text)
        ? Math.floor(Math.round(parseFloat(text) * 1000) * BYTES_PER_SECOND / 1000)
        : Number(text);
    return bytes - bytes % 4;
  };

  var create = function (page) {
    var stage = page.stage;
    var bar = document.getElementById('controls');
    var pause = document.getElementById('pause');
    var seek = document.getElementById('seek');
    var marks = document.getElementById('marks');
    var time = document.getElementById('time');
    var loop = document.getElementById('loop');
    var link = document.getElementById('link');
    var linkText = document.getElementById('link-text');
    var program = null;
    var frame = 0;
    var hideTimer = 0;
    var dragging = false;
    var keyboardFocus = false;
    var length = -1;
    var pauseAtStart = false;

    var shown = function () { return stage.dataset.bar === 'shown'; };
    var hide = function () {
      hideTimer = 0;
      if (keyboardFocus) return;
      stage.dataset.bar = 'hidden';
      linkText.hidden = true;
    };
    var wake = function () {
      stage.dataset.bar = 'shown';
      clearTimeout(hideTimer);
      hideTimer = setTimeout(hide, HIDE_AFTER_MS);
    };

    var post = function (message, wparam, lparam) {
      return program ? program._demo_post_message(message, wparam, lparam) : 0;
    };

    var placeMarks = function () {
      marks.textContent = '';
      for (var n = 1; n <= SCENES; ++n) {
        var mark = document.createElement('span');
        mark.className = 'mark';
        mark.style.left = (100 * program._demo_scene_start(n) / length) + '%';
        mark.title = 'Scene ' + n;
        marks.appendChild(mark);
      }
    };

    var update = function () {
      frame = requestAnimationFrame(update);
      if (!program) return;
      var position = program._demo_audio_position();
      if (position < 0) return;
      if (length < 0) {
        length = program._demo_audio_length();
        seek.max = String(length);
        placeMarks();
        if (pauseAtStart) post(PAUSE_MESSAGE, 1, 0);
      }
      var paused = program._demo_audio_paused() !== 0;
      pause.setAttribute('aria-label', paused ? 'Play' : 'Pause');
      pause.dataset.paused = paused ? 'yes' : 'no';
      if (!dragging) seek.value = String(position);
      var text = clock(dragging ? Number(seek.value) : position) + ' / ' + clock(length);
      if (time.textContent !== text) {
        time.textContent = text;
        seek.setAttribute('aria-valuetext', text);
      }
    };

    pause.addEventListener('click', function () {
      if (program) post(PAUSE_MESSAGE, program._demo_audio_paused() ? 0 : 1, 0);
    });
    var seekTo = function () { post(SEEK_MESSAGE, 0, Math.round(Number(seek.value) / 4) * 4); };
    seek.addEventListener('input', seekTo);
    seek.addEventListener('change', function () { dragging = false; seekTo(); });
    seek.addEventListener('pointerdown', function () { dragging = true; });
    seek.addEventListener('pointerup', function () { dragging = false; });
    seek.addEventListener('pointercancel', function () { dragging = false; });
    // The range's own keys would move it a byte; the show's arrows and Home
    // reach the transport instead (see the page's keys).
    seek.addEventListener('keydown', function (event) {
      if (/^(ArrowUp|ArrowDown|PageUp|PageDown|End)$/.test(event.code)) event.preventDefault();
    });
    loop.addEventListener('click', function () {
      var on = loop.getAttribute('aria-pressed') !== 'true';
      loop.setAttribute('aria-pressed', on ? 'true' : 'false');
      if (page.onLoop) page.onLoop(on);
    });
    link.addEventListener('click', function () {
      var position = program ? program._demo_show_position() : 0;
      var url = location.href.split('#')[0].replace(/\?.*$/, '') + '#t=' + moment(position);
      var offer = function () {
        linkText.value = url;
        linkText.hidden = false;
        linkText.focus();
        linkText.select();
      };
      link.dataset.link = url;
      if (navigator.clipboard && navigator.clipboard.writeText) {
        navigator.clipboard.writeText(url).then(function () {
          page.say('Link copied: ' + url);
        }, offer);
      } else {
        offer();
      }
    });
    document.getElementById('fullscreen').addEventListener('click', page.onFullscreen);

    // A mouse move or a touch brings the bar; keyboard focus keeps it. A
    // finger on the hidden bar only brings it: nothing unseen is pressed.
    var swallowClick = false;
    bar.addEventListener('pointerdown', function (event) {
      swallowClick = event.pointerType === 'touch' && !shown();
    }, true);
    bar.addEventListener('click', function (event) {
      if (swallowClick) {
        event.stopPropagation();
        event.preventDefault();
      }
      swallowClick = false;
    }, true);
    stage.addEventListener('pointermove', wake);
    stage.addEventListener('pointerdown', wake);
    bar.addEventListener('focusin', function () {
      keyboardFocus = !!bar.querySelector(':focus-visible');
      if (keyboardFocus || !shown()) wake();
    });
    bar.addEventListener('focusout', function () {
      keyboardFocus = false;
      if (!hideTimer) hide();
    });

    return {
      loop: function () { return loop.getAttribute('aria-pressed') === 'true'; },
      // A show started: `paused` pauses it as soon as its music plays.
      attach: function (started, paused) {
        program = started;
        length = -1;
        pauseAtStart = !!paused;
        dragging = false;
        time.textContent = '';
        marks.textContent = '';
        cancelAnimationFrame(frame);
        frame = requestAnimationFrame(update);
        wake();
      },
      detach: function () {
        program = null;
        cancelAnimationFrame(frame);
        clearTimeout(hideTimer);
        hideTimer = 0;
        linkText.hidden = true;
      },
      pause: function (paused) { return post(PAUSE_MESSAGE, paused ? 1 : 0, 0); },
      seek: function (bytes) { return post(SEEK_MESSAGE, 0, bytes); },
      paused: function () { return !!program && program._demo_audio_paused() !== 0; }
    };
  };

  return { create: create, parseMoment: parseMoment, momentBytes: momentBytes, moment: moment,
           clock: clock,
           BYTES_PER_SECOND: BYTES_PER_SECOND };
})();
