// Starts the page's program once its faces are ready, so that every label is measured in the face
// it is drawn with, and, in an ordinary window, once the learner's first key or click on the start
// screen has taken the page to full screen, so that the program starts at its final size. The page
// runs its own program and nothing a link names: the address's query is not read at all. A learner
// on a slow line sees a line saying that it loads, and a failure is said in one line instead of
// leaving the page black.
(function () {
  'use strict';
  var faces = ['Tapirun PGothic', 'Tapirun PMincho', 'Tapirun Mincho'];
  var started = false;
  // A browser that keeps no site data refuses service workers, some by throwing.
  var workers = null;
  try {
    workers = navigator.serviceWorker || null;
  } catch (e) {
    workers = null;
  }

  var note = document.createElement('p');
  note.id = 'loading';
  note.setAttribute('role', 'status');
  note.textContent = 'Tapirun を読み込んでいます…';
  document.body.appendChild(note);
  function say(line) {
    note.textContent = line;
    note.className = 'failed';
  }
  var failed = 'Tapirun を読み込めませんでした。回線を確かめて、ページを開き直してください。';

  // A program file the host holds broken fails here before it could report anything itself.
  var running = false;
  window.addEventListener('error', function () {
    if (!running) say(failed);
  });

  window.Module = {
    arguments: [],
    onRuntimeInitialized: function () {
      running = true;
      note.remove();
      // The service worker's copy is fetched once the program runs, not against it.
      if (workers) workers.register('sw.js').catch(function () {});
    },
    onAbort: function () {
      document.body.appendChild(note);
      say(failed);
    },
    // Full screen, a kiosk or an installed app: nothing of the browser's is left on the screen.
    covering: function () {
      var mode = function (m) {
        return window.matchMedia && window.matchMedia('(display-mode: ' + m + ')').matches;
      };
      return !!document.fullscreenElement || mode('fullscreen') || mode('standalone') ||
        (window.innerWidth >= screen.width - 2 && window.innerHeight >= screen.height - 2);
    },
  };

  // The start screen takes the first gesture, which full screen and sound both need: it enters
  // full screen where the browser allows it and makes the sound's context, and the program starts
  // once the page has its new size (or at the viewport's, where full screen is refused). A page
  // that covers the screen already starts at once, as the desktop program does.
  var gestureTaken = new Promise(function (taken) {
    if (window.Module.covering()) {
      taken();
      return;
    }
    var box = document.createElement('div');
    box.id = 'start';
    box.setAttribute('role', 'dialog');
    box.setAttribute('aria-label', 'Tapirun');
    box.tabIndex = -1;
    var line = function (text, className) {
      var p = document.createElement('p');
      p.textContent = text;
      if (className) p.className = className;
      box.appendChild(p);
      return p;
    };
    line('Tapirun', 'start-name');
    line('キーを押すか、クリックしてください');
    var hint = line('', 'start-note');
    var touchOnly = window.matchMedia && window.matchMedia('(pointer: coarse)').matches &&
      !window.matchMedia('(any-pointer: fine)').matches;
    if (touchOnly) {
      hint.textContent = 'タイピング練習にはキーボードが要ります。キーボードをつないでください。';
    } else if (navigator.keyboard && navigator.keyboard.getLayoutMap) {
      navigator.keyboard.getLayoutMap().then(function (map) {
        // The JIS layout types ":" right of ";" and "@" right of "p".
        if (map.size && !(map.get('Quote') === ':' && map.get('BracketLeft') === '@'))
          hint.textContent = 'キーボードの配列が日本語（JIS）ではないため、キーの絵と実際のキーが合わないことがあります。';
      }).catch(function () {});
    }
    document.body.appendChild(box);
    box.focus();
    var begin = function (e) {
      e.preventDefault();
      window.removeEventListener('keydown', begin, true);
      window.removeEventListener('pointerdown', begin, true);
      var Audio = window.AudioContext || window.webkitAudioContext;
      try {
        if (Audio) window.Module.audio = new Audio();
      } catch (err) {}
      window.Module.askedFullScreen = true;
      var root = document.documentElement;
      var asked = root.requestFullscreen ? root.requestFullscreen() : Promise.reject(new Error('no full screen'));
      // The new size arrives with the frames after full screen is entered.
      var settle = function () {
        requestAnimationFrame(function () {
          requestAnimationFrame(function () {
            box.remove();
            taken();
          });
        });
      };
      asked.then(settle, settle);
    };
    window.addEventListener('keydown', begin, true);
    window.addEventListener('pointerdown', begin, true);
  });

  function start() {
    if (started) return;
    started = true;
    gestureTaken.then(load);
  }
  function load() {
    if (typeof WebAssembly !== 'object') {
      say('このブラウザーでは Tapirun を動かせません（WebAssembly がありません）。');
      return;
    }
    var script = document.createElement('script');
    script.src = 'tapirun.js';
    script.onerror = function () {
      say(failed);
    };
    document.body.appendChild(script);
  }

  function startWithFaces() {
    if (!document.fonts) return start();
    var loads = faces.map(function (face) {
      return document.fonts.load('16px "' + face + '"', 'あA');
    });
    Promise.all(loads).then(start, start);
  }

  // A release the service worker stored on an earlier visit waits until no page runs the one
  // before it; this page has not started its program yet, so it may start on the new one instead,
  // loaded whole from the top.
  if (!workers) {
    startWithFaces();
    return;
  }
  workers.getRegistration().then(function (registration) {
    var waiting = registration && registration.waiting;
    if (!waiting || !workers.controller) {
      startWithFaces();
      return;
    }
    workers.addEventListener('controllerchange', function () {
      if (started) return;
      started = true;
      location.reload();
    });
    workers.addEventListener('message', function (event) {
      if (event.data === 'release-refused') startWithFaces();
    });
    waiting.postMessage('use-waiting-release');
    // A worker that never answers does not keep the program from starting.
    setTimeout(startWithFaces, 3000);
  }, startWithFaces);
})();
