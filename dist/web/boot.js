// Starts the program once its faces are ready, so that every label is measured in the face it is
// drawn with, and, in an ordinary window, once the learner's first key or click on the start
// screen has taken the page to full screen, so that the program starts at its final size. The
// page's own program is tapirun; the tests load theirs with ?program=NAME and pass their arguments
// as ?arg=...&arg=...
(function () {
  'use strict';
  var query = new URLSearchParams(location.search);
  var program = query.get('program') || 'tapirun';
  var testing = program !== 'tapirun';
  var faces = ['Tapirun PGothic', 'Tapirun PMincho', 'Tapirun Mincho'];

  if (!testing && 'serviceWorker' in navigator)
    navigator.serviceWorker.register('sw.js').catch(function () {});

  var output = [];
  window.tapirunOutput = output;
  window.Module = {
    arguments: query.getAll('arg'),
    print: function (line) {
      output.push(line);
      console.log(line);
    },
    printErr: function (line) {
      output.push(line);
      console.error(line);
    },
    // The test programs' environment variables, as ?env=NAME=VALUE.
    preRun: [function () {
      query.getAll('env').forEach(function (pair) {
        var at = pair.indexOf('=');
        if (at > 0) ENV[pair.slice(0, at)] = pair.slice(at + 1);
      });
    }],
    onExit: function (status) {
      window.tapirunExit = status;
    },
    onAbort: function (what) {
      output.push('aborted: ' + what);
      window.tapirunExit = 134;
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

  // A fault on the page side ends a test program as a crash would.
  if (testing) {
    var fault = function (e) {
      output.push('page fault: ' + (e.reason || e.message || e));
      if (window.tapirunExit === undefined) window.tapirunExit = 134;
    };
    window.addEventListener('error', fault);
    window.addEventListener('unhandledrejection', fault);
  }

  function start() {
    var script = document.createElement('script');
    script.src = program + '.js';
    script.onerror = function () {
      window.tapirunExit = 127;
    };
    document.body.appendChild(script);
  }

  // The start screen takes the first gesture, which full screen and sound both need: it enters
  // full screen where the browser allows it and makes the sound's context, and the program starts
  // once the page has its new size (or at the viewport's, where full screen is refused). A page
  // that covers the screen already, and the tests' pages, start at once.
  function startScreen(go) {
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
    var note = line('', 'start-note');
    var touchOnly = window.matchMedia && window.matchMedia('(pointer: coarse)').matches &&
      !window.matchMedia('(any-pointer: fine)').matches;
    if (touchOnly) note.textContent = 'タイピング練習にはキーボードが要ります。キーボードをつないでください。';
    else if (navigator.keyboard && navigator.keyboard.getLayoutMap)
      navigator.keyboard.getLayoutMap().then(function (map) {
        // The JIS layout types ":" right of ";" and "@" right of "p".
        if (map.size && !(map.get('Quote') === ':' && map.get('BracketLeft') === '@'))
          note.textContent = 'キーボードの配列が日本語（JIS）ではないため、キーの絵と実際のキーが合わないことがあります。';
      }).catch(function () {});
    document.body.appendChild(box);
    box.focus();
    var started = false;
    var begin = function (e) {
      if (started) return;
      started = true;
      if (e) e.preventDefault();
      window.removeEventListener('keydown', begin, true);
      window.removeEventListener('pointerdown', begin, true);
      var Audio = window.AudioContext || window.webkitAudioContext;
      try {
        if (Audio) Module.audio = new Audio();
      } catch (err) {}
      Module.askedFullScreen = true;
      var root = document.documentElement;
      var asked = root.requestFullscreen ? root.requestFullscreen() : Promise.reject();
      // The new size arrives with the next frames after full screen is entered.
      var settle = function () {
        requestAnimationFrame(function () {
          requestAnimationFrame(function () {
            box.remove();
            go();
          });
        });
      };
      asked.then(settle, settle);
    };
    window.addEventListener('keydown', begin, true);
    window.addEventListener('pointerdown', begin, true);
  }

  var loads = faces.map(function (face) {
    return document.fonts.load('16px "' + face + '"', 'あA');
  });
  var ready = Promise.all(loads);
  if (testing || Module.covering()) ready.then(start, start);
  else startScreen(function () { ready.then(start, start); });
})();
